#include "ui/rules/FormLayout.h"

#include <algorithm>
#include <cstdint>

namespace quorvane {

void AlignChildren(const TRect& Area, std::vector<TAlignedChild>& Children) {
    TRect Rest = Area;
    Rest.Right = std::max(Rest.Left, Rest.Right);
    Rest.Bottom = std::max(Rest.Top, Rest.Bottom);
    const auto Place = [&](TAlign Align, auto&& Take) {
        for (TAlignedChild& Child : Children)
            if (Child.Visible && Child.Align == Align)
                Take(Child);
    };
    Place(TAlign::alTop, [&](TAlignedChild& Child) {
        const int Height = std::clamp(Child.Size, 0, Rest.Height());
        Child.Bounds = {Rest.Left, Rest.Top, Rest.Right, Rest.Top + Height};
        Rest.Top += Height;
    });
    Place(TAlign::alBottom, [&](TAlignedChild& Child) {
        const int Height = std::clamp(Child.Size, 0, Rest.Height());
        Child.Bounds = {Rest.Left, Rest.Bottom - Height, Rest.Right, Rest.Bottom};
        Rest.Bottom -= Height;
    });
    Place(TAlign::alLeft, [&](TAlignedChild& Child) {
        const int Width = std::clamp(Child.Size, 0, Rest.Width());
        Child.Bounds = {Rest.Left, Rest.Top, Rest.Left + Width, Rest.Bottom};
        Rest.Left += Width;
    });
    Place(TAlign::alClient, [&](TAlignedChild& Child) { Child.Bounds = Rest; });
}

int ScaledLength(int DesignPixels, int Dpi) {
    constexpr std::int64_t kDesignDpi = 96;
    const std::int64_t Product = static_cast<std::int64_t>(DesignPixels) * Dpi;
    const std::int64_t Half = Product < 0 ? -kDesignDpi / 2 : kDesignDpi / 2;
    return static_cast<int>((Product + Half) / kDesignDpi);
}

TFormMetrics FormMetrics(int Dpi) {
    const auto S = [Dpi](int Pixels) { return ScaledLength(Pixels, Dpi); };
    const TFormMetrics Design;
    TFormMetrics Scaled;
    Scaled.ToolHeight = S(Design.ToolHeight);
    Scaled.StatusHeight = S(Design.StatusHeight);
    Scaled.MainWidth = S(Design.MainWidth);
    Scaled.SplitterWidth = S(Design.SplitterWidth);
    Scaled.MainMinimum = {S(Design.MainMinimum.Width), S(Design.MainMinimum.Height)};
    Scaled.DetailsMinimum = {S(Design.DetailsMinimum.Width), S(Design.DetailsMinimum.Height)};
    Scaled.TitleHeight = S(Design.TitleHeight);
    Scaled.HintHeight = S(Design.HintHeight);
    return Scaled;
}

int MainPanelWidth(int Wanted, int ClientWidth, const TFormMetrics& Metrics) {
    const int Widest = ClientWidth - Metrics.SplitterWidth - Metrics.DetailsMinimum.Width;
    return std::max(Metrics.MainMinimum.Width, std::min(Wanted, Widest));
}

TFormLayout LayoutForm(TSize Client, int WantedMainWidth, const TFormMetrics& Metrics) {
    std::vector<TAlignedChild> Children = {
        {TAlign::alTop, Metrics.ToolHeight},
        {TAlign::alBottom, Metrics.StatusHeight},
        {TAlign::alLeft, MainPanelWidth(WantedMainWidth, Client.Width, Metrics)},
        {TAlign::alLeft, Metrics.SplitterWidth},
        {TAlign::alClient, 0},
    };
    AlignChildren({0, 0, Client.Width, Client.Height}, Children);
    return {Children[0].Bounds, Children[1].Bounds, Children[2].Bounds, Children[3].Bounds, Children[4].Bounds};
}

TSize MinimumClientSize(const TFormMetrics& Metrics) {
    return {Metrics.MainMinimum.Width + Metrics.SplitterWidth + Metrics.DetailsMinimum.Width,
            Metrics.ToolHeight + Metrics.StatusHeight +
                std::max(Metrics.MainMinimum.Height, Metrics.DetailsMinimum.Height)};
}

TDetailsLayout LayoutDetails(const TRect& Inner, bool HintVisible, const TFormMetrics& Metrics) {
    std::vector<TAlignedChild> Children = {
        {TAlign::alTop, Metrics.TitleHeight},
        {TAlign::alBottom, Metrics.HintHeight},
        {TAlign::alClient, 0},
    };
    AlignChildren(Inner, Children);
    const TRect Hint = Children[1].Bounds;
    if (!HintVisible) {
        Children[1].Visible = false;
        AlignChildren(Inner, Children);
    }
    return {Children[0].Bounds, Hint, Children[2].Bounds};
}

TScrollBars NeededScrollBars(TSize Outer, TSize Content, TSize Bars) {
    TScrollBars Shown;
    Shown.Vertical = Content.Height > Outer.Height;
    Shown.Horizontal = Content.Width > Outer.Width - (Shown.Vertical ? Bars.Width : 0);
    if (Shown.Horizontal && !Shown.Vertical) {
        Shown.Vertical = Content.Height > Outer.Height - Bars.Height;
        Shown.Horizontal = Content.Width > Outer.Width - (Shown.Vertical ? Bars.Width : 0);
    }
    return Shown;
}

TColumnWidths SheetColumnWidths(int WidestLabelWidth, TSize Grid, int RowsHeight, TSize Bars) {
    // The value column takes whatever the label column leaves, so only a grid
    // narrower than the label column needs a horizontal bar.
    const int Narrowest = GridColumnWidths(WidestLabelWidth, 0).Label + 2;
    const TScrollBars Shown = NeededScrollBars(Grid, {Narrowest, RowsHeight}, Bars);
    return GridColumnWidths(WidestLabelWidth, Grid.Width - (Shown.Vertical ? Bars.Width : 0));
}

int TWheelRows::Rows(int Delta, int RowsPerNotch) {
    // A turn the other way starts afresh.
    if ((Delta > 0 && FRest < 0) || (Delta < 0 && FRest > 0))
        FRest = 0;
    FRest += Delta * RowsPerNotch;
    const int Rows = FRest / kNotch;
    FRest -= Rows * kNotch;
    return Rows;
}

}  // namespace quorvane
