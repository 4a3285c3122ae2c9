// The layout of the main window without a toolkit: the alignment of the
// form's panels, the splitter within both panels' minimum widths, the inner
// layout of pnlDetails with pnlHint shown or hidden, the scroll bars of the
// grid and the widths of its columns. Sizes go in and rectangles come out, in
// the window's pixels; both windows place their widgets where these say.
#pragma once

#include <vector>

#include "ui/rules/WindowRules.h"

namespace quorvane {

struct TSize {
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

// Right and bottom are exclusive, as in the window system's rectangles.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    TSize Size() const { return {Width(), Height()}; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

enum class TAlign { alNone, alTop, alBottom, alLeft, alClient };

struct TAlignedChild {
    TAlign Align = TAlign::alNone;
    int Size = 0;  // height of a top or bottom child, width of a left child
    bool Visible = true;
    TRect Bounds{};  // the result; a hidden or unaligned child keeps what it had
};

// Lays the visible children out inside Area: those aligned to the top take
// the full width at the top, those aligned to the bottom the full width at the
// bottom, those aligned to the left stand between them, and a child aligned to
// the client fills what remains; children of one alignment keep their order.
// Sizes that do not fit are cut at the remaining space; nothing gets a
// negative width or height.
void AlignChildren(const TRect& Area, std::vector<TAlignedChild>& Children);

// A length of the window description at Dpi, rounded to the nearest pixel
// (halves away from zero).
int ScaledLength(int DesignPixels, int Dpi);

// The lengths of the window description that the layout uses.
struct TFormMetrics {
    int ToolHeight = 33;
    int StatusHeight = 19;
    int MainWidth = 345;  // pnlMain as designed; the splitter changes it
    int SplitterWidth = 3;
    TSize MainMinimum{150, 350};
    TSize DetailsMinimum{250, 350};
    int TitleHeight = 40;
    int HintHeight = 201;
};
// The lengths at a screen resolution (96 dots per inch: as designed).
TFormMetrics FormMetrics(int Dpi);

struct TFormLayout {
    TRect Tool;
    TRect Status;
    TRect Main;
    TRect Splitter;
    TRect Details;
};

// The width of pnlMain for the one wanted (the splitter's) in a client area
// ClientWidth wide: pnlDetails keeps its minimum first, the tree gives way
// down to its own minimum.
int MainPanelWidth(int Wanted, int ClientWidth, const TFormMetrics& Metrics);
// The form: pnlTool at the top, StatusBar at the bottom, pnlMain and Splitter1
// at the left between them, pnlDetails filling the rest. WantedMainWidth stays
// what the user chose, so the tree gets its width back when the window widens.
TFormLayout LayoutForm(TSize Client, int WantedMainWidth, const TFormMetrics& Metrics);
// The smallest client area that keeps both panels at their minimum sizes.
TSize MinimumClientSize(const TFormMetrics& Metrics);

struct TDetailsLayout {
    TRect Title;
    TRect Hint;  // where pnlHint stands while it is shown
    TRect Grid;
};
// Inside pnlDetails' inner area: pnlTitle at the top, pnlHint at the bottom,
// StringGrid between them; while pnlHint is hidden the grid reaches the bottom.
TDetailsLayout LayoutDetails(const TRect& Inner, bool HintVisible, const TFormMetrics& Metrics);

struct TScrollBars {
    bool Vertical = false;
    bool Horizontal = false;
    friend bool operator==(const TScrollBars&, const TScrollBars&) = default;
};
// The bars of an area of size Outer over content of size Content, each shown
// only where the content does not fit; a bar of one direction takes room
// from the other. Bars: the width of a vertical bar, the height of a
// horizontal one.
TScrollBars NeededScrollBars(TSize Outer, TSize Content, TSize Bars);

// The columns of the sheet for a grid laid out at size Grid over rows
// RowsHeight high: they fill the client width that the grid has then, its
// vertical bar taken off when the rows need one. From the layout, not from
// the bars a grid shows while it is being resized.
TColumnWidths SheetColumnWidths(int WidestLabelWidth, TSize Grid, int RowsHeight, TSize Bars);

// Scrolling by the mouse wheel: rows per notch of the wheel (the system's
// setting); steps smaller than a notch add up, whatever is left below a whole
// row is kept for the next step in the same direction.
class TWheelRows {
public:
    static constexpr int kNotch = 120;
    // The rows a wheel step of Delta scrolls, positive toward the top.
    int Rows(int Delta, int RowsPerNotch);

private:
    int FRest = 0;  // in units of kNotch per row
};

}  // namespace quorvane
