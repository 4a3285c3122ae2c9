#include "ui/win32/Align.h"

#include <algorithm>

namespace quorvane::win32 {

void AlignChildren(const RECT& Area, std::vector<TAlignedChild>& Children) {
    RECT Rest = Area;
    Rest.right = std::max(Rest.left, Rest.right);
    Rest.bottom = std::max(Rest.top, Rest.bottom);
    const auto Place = [&](TAlign Align, auto&& Take) {
        for (TAlignedChild& Child : Children)
            if (Child.Visible && Child.Align == Align)
                Take(Child);
    };
    Place(TAlign::alTop, [&](TAlignedChild& Child) {
        const int Height = std::clamp(Child.Size, 0, static_cast<int>(Rest.bottom - Rest.top));
        Child.Bounds = {Rest.left, Rest.top, Rest.right, Rest.top + Height};
        Rest.top += Height;
    });
    Place(TAlign::alBottom, [&](TAlignedChild& Child) {
        const int Height = std::clamp(Child.Size, 0, static_cast<int>(Rest.bottom - Rest.top));
        Child.Bounds = {Rest.left, Rest.bottom - Height, Rest.right, Rest.bottom};
        Rest.bottom -= Height;
    });
    Place(TAlign::alLeft, [&](TAlignedChild& Child) {
        const int Width = std::clamp(Child.Size, 0, static_cast<int>(Rest.right - Rest.left));
        Child.Bounds = {Rest.left, Rest.top, Rest.left + Width, Rest.bottom};
        Rest.left += Width;
    });
    Place(TAlign::alClient, [&](TAlignedChild& Child) { Child.Bounds = Rest; });
}

}  // namespace quorvane::win32
