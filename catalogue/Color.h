// A toolkit-free colour: an RGB value or one of the named system colours.
#pragma once

#include <cstdint>

namespace quorvane {

enum class TSystemColor : std::uint8_t { clBtnFace, clWindow, clWindowText, clHighlight, clHighlightText };

struct TColor {
    bool IsSystem = false;
    TSystemColor System = TSystemColor::clWindowText;  // when IsSystem
    std::uint8_t R = 0, G = 0, B = 0;  // when !IsSystem

    static constexpr TColor Rgb(std::uint8_t R, std::uint8_t G, std::uint8_t B) {
        return TColor{false, TSystemColor::clWindowText, R, G, B};
    }
    static constexpr TColor Named(TSystemColor C) { return TColor{true, C, 0, 0, 0}; }

    friend constexpr bool operator==(const TColor& A, const TColor& B) {
        return A.IsSystem == B.IsSystem &&
               (A.IsSystem ? A.System == B.System : A.R == B.R && A.G == B.G && A.B == B.B);
    }
};

constexpr TColor clBtnFace = TColor::Named(TSystemColor::clBtnFace);
constexpr TColor clWindow = TColor::Named(TSystemColor::clWindow);
constexpr TColor clWindowText = TColor::Named(TSystemColor::clWindowText);
constexpr TColor clHighlight = TColor::Named(TSystemColor::clHighlight);
constexpr TColor clHighlightText = TColor::Named(TSystemColor::clHighlightText);

}  // namespace quorvane
