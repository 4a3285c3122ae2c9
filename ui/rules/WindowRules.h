// The rules of the main window that do not depend on a toolkit: texts of the
// detail sheet, colours, the header gradient, placement formulas, the intro
// text, the platform name and the exit-page address. Both windows bind them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Color.h"
#include "catalogue/NodeData.h"

namespace quorvane {

constexpr int kSheetRows = 15;
using TSheetTexts = std::array<std::string, kSheetRows>;

// The label of a sheet row (column 0); empty outside 0..14.
std::string RowLabel(int Row);
// All fifteen labels in row order.
TSheetTexts RowLabels();
// The field help of a row, with "\r\n" line breaks; empty outside 0..14.
const std::string& RowHelp(int Row);

// Column 1 of the sheet for a record. ParentText is the text of the node's
// parent, null for a node at the top level.
TSheetTexts SheetValues(const TNodeData& Data, const std::string* ParentText);

struct TCellColors {
    TColor Background;
    TColor Text;
};
// Colours of a grid cell: only the focused state counts, then the column.
TCellColors CellColors(bool Focused, int Col);

// Text colour of a tree entry; nothing for a node without a record (the
// toolkit's colours apply then).
std::optional<TColor> TreeTextColor(const TNodeData* Data, bool Selected);

// Gray level of the gradient's I-th drawn column (I = 1..Width, drawn at
// x = Width - I, from the right); 127..193.
int GradientGray(int I, int Width);
// Gray level of column X (0 = leftmost) of a gradient Width pixels wide.
int GradientGrayAtColumn(int X, int Width);

// Integer halving toward zero: -3 gives -1, -1 gives 0.
constexpr int HalfTowardZero(int Value) { return Value / 2; }

struct TPoint {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Top-left of the logo inside the toolbar: flush right, centred vertically.
TPoint LogoPosition(int ToolClientWidth, int ToolClientHeight, int LogoWidth, int LogoHeight);

// Top-left of the title label in the title panel; IconLeft and IconWidth are
// those of the icon beside it. Negative results are kept.
TPoint TitleLabelPosition(int ClientWidth, int ClientHeight, int LabelWidth, int LabelHeight, int IconLeft,
                          int IconWidth);

struct TColumnWidths {
    int Label = 0;
    int Value = 0;
    friend bool operator==(const TColumnWidths&, const TColumnWidths&) = default;
};
// Column widths of the sheet from the measured width of the widest label
// ("Anzahl Threads") and the grid's client width; two 1-pixel grid lines
// complete the width.
TColumnWidths GridColumnWidths(int WidestLabelWidth, int GridClientWidth);
// The label whose width sets column 0.
const std::string& WidestRowLabel();

// One append to the help memo: the text (whose "\r\n" become line breaks) as
// one or more lines at the end, in the attributes given.
struct TStyledAppend {
    std::string Text;
    bool Bold = false;
    bool Underline = false;
    TColor Color = clWindowText;
    friend bool operator==(const TStyledAppend&, const TStyledAppend&) = default;
};
using TStyledText = std::vector<TStyledAppend>;

// The intro text of the memo, shown from the first show until the first field help.
TStyledText IntroText();
// The memo's first line while the intro text is shown.
const std::string& IntroHeading();
// The maker's product page, the web link of the intro text.
const std::string& ProductPageAddress();
// The field help of a sheet row: the label in bold, an empty line, the help.
TStyledText FieldHelpText(int Row);

// The memo's lines after the given appends, "\r\n" splitting an append.
std::vector<std::string> AppendedLines(const TStyledText& Text);

// Status-bar panel 1 on Linux: "Linux" and the major.minor of a kernel
// release such as "6.1.0-18-amd64"; just "Linux" when the release has no
// readable version.
std::string LinuxPlatformName(const std::string& KernelRelease);

// The platform check of Windows from the version information.
struct TPlatformCheck {
    bool Accepted = false;
    std::string PanelText;  // panel 1; empty for an NT version without a name
};
constexpr std::uint32_t kPlatformWin32Nt = 2;
TPlatformCheck WindowsPlatformCheck(std::uint32_t PlatformId, std::uint32_t Major, std::uint32_t Minor);
// The message of a failed platform check.
const std::string& PlatformMessage();

// The exit page beside the running program. ProgramDirectory may end in a separator.
std::string LinuxExitPageAddress(const std::string& ProgramDirectory);
std::string WindowsExitPageAddress(const std::string& ProgramDirectory);
// The address of this build.
std::string ExitPageAddress(const std::string& ProgramDirectory);

// The report's file name from the save dialog's answer: ".txt" appended
// when the name's last component has no extension.
std::string ReportFileName(const std::string& ChosenName);

}  // namespace quorvane
