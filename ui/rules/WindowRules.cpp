#include "ui/rules/WindowRules.h"

#include <cctype>
#include <string_view>

#include "catalogue/PathText.h"
#include "catalogue/Risk.h"
#include "resources/StringTable.h"

namespace quorvane {
namespace {

constexpr TStringId kLabelIds[kSheetRows] = {
    TStringId::sLabelCompany,  TStringId::sLabelDescription, TStringId::sLabelVersion, TStringId::sLabelLanguage,
    TStringId::sLabelPath,     TStringId::sLabelProcessId,   TStringId::sLabelParent,  TStringId::sLabelStartTime,
    TStringId::sLabelCpuTime,  TStringId::sLabelCpuTime,     TStringId::sLabelThreads, TStringId::sLabelPriority,
    TStringId::sLabelSize,     TStringId::sLabelRemark,      TStringId::sLabelRisk,
};

constexpr TStringId kHelpIds[kSheetRows] = {
    TStringId::sHelpCompany,   TStringId::sHelpDescription, TStringId::sHelpVersion,  TStringId::sHelpLanguage,
    TStringId::sHelpPath,      TStringId::sHelpProcessId,   TStringId::sHelpParent,   TStringId::sHelpStartTime,
    TStringId::sHelpCpuTime,   TStringId::sHelpKernelTime,  TStringId::sHelpThreads,  TStringId::sHelpPriority,
    TStringId::sHelpSize,      TStringId::sHelpRemark,      TStringId::sHelpRisk,
};

constexpr int kKernelTimeRow = 9;
constexpr int kThreadsRow = 10;

bool InSheet(int Row) { return Row >= 0 && Row < kSheetRows; }

// The leading decimal number of Text from Pos on; nothing when there is no digit.
std::optional<std::string> Digits(const std::string& Text, std::size_t& Pos) {
    const std::size_t Start = Pos;
    while (Pos < Text.size() && std::isdigit(static_cast<unsigned char>(Text[Pos])))
        ++Pos;
    if (Pos == Start)
        return std::nullopt;
    return Text.substr(Start, Pos - Start);
}

}  // namespace

std::string RowLabel(int Row) {
    if (!InSheet(Row))
        return {};
    if (Row == kKernelTimeRow)
        return LoadStr(TStringId::sLabelCpuTime) + LoadStr(TStringId::sLabelKernelSuffix);
    return LoadStr(kLabelIds[Row]);
}

TSheetTexts RowLabels() {
    TSheetTexts Labels;
    for (int Row = 0; Row < kSheetRows; ++Row)
        Labels[Row] = RowLabel(Row);
    return Labels;
}

const std::string& RowHelp(int Row) {
    static const std::string Empty;
    return InSheet(Row) ? LoadStr(kHelpIds[Row]) : Empty;
}

TSheetTexts SheetValues(const TNodeData& Data, const std::string* ParentText) {
    TSheetTexts Values;
    Values[0] = Data.CompanyName;
    Values[1] = Data.FileDescription;
    Values[2] = Data.FileVersion;
    Values[3] = Data.LanguageName;
    Values[4] = DirectoryPart(Data.ImagePath);
    Values[5] = std::to_string(Data.ProcessId);
    Values[6] = ParentText ? *ParentText : std::string();
    Values[7] = Data.StartTime;
    Values[8] = Data.CpuTime;
    Values[9] = Data.KernelTime;
    Values[10] = std::to_string(Data.ThreadCount);
    Values[11] = PriorityName(Data);
    Values[12] = Data.ImageSize != 0 ? std::to_string(Data.ImageSize) + LoadStr(TStringId::sSizeSuffix) : std::string();
    Values[13] = Data.Remark;
    Values[14] = RiskName(Data);
    return Values;
}

TCellColors CellColors(bool Focused, int Col) {
    if (Focused)
        return {clHighlight, clHighlightText};
    return {Col == 1 ? clWindow : clBtnFace, clWindowText};
}

std::optional<TColor> TreeTextColor(const TNodeData* Data, bool Selected) {
    if (!Data)
        return std::nullopt;
    const TColor Color = RiskColor(*Data, true);
    if (Selected && Color == clWindowText)
        return clWindow;
    return Color;
}

int GradientGray(int I, int Width) {
    // Truncated, not rounded: 64 * I / Width in floating point.
    const int T = static_cast<int>(64.0 * I / Width);
    return T + 127 + I % 3;
}

int GradientGrayAtColumn(int X, int Width) { return GradientGray(Width - X, Width); }

TPoint LogoPosition(int ToolClientWidth, int ToolClientHeight, int LogoWidth, int LogoHeight) {
    return {ToolClientWidth - LogoWidth, HalfTowardZero(ToolClientHeight - LogoHeight)};
}

TPoint TitleLabelPosition(int ClientWidth, int ClientHeight, int LabelWidth, int LabelHeight, int IconLeft,
                          int IconWidth) {
    // "+ IconWidth - IconLeft" puts the label 8 pixels left of the centre of
    // the strip beside the icon, as the window has always shown it.
    return {HalfTowardZero(ClientWidth - LabelWidth - IconWidth - IconLeft) + IconWidth - IconLeft,
            HalfTowardZero(ClientHeight - LabelHeight)};
}

TColumnWidths GridColumnWidths(int WidestLabelWidth, int GridClientWidth) {
    const int Label = WidestLabelWidth + 10;
    return {Label, GridClientWidth - Label - 2};
}

const std::string& WidestRowLabel() { return LoadStr(kLabelIds[kThreadsRow]); }

const std::string& IntroHeading() { return LoadStr(TStringId::sIntroHeading); }

const std::string& ProductPageAddress() { return LoadStr(TStringId::sProductPage); }

TStyledText IntroText() {
    const TColor Blue = TColor::Rgb(0, 0, 255);
    return {
        {IntroHeading(), true, false, clWindowText},
        {"", false, false, clWindowText},
        {LoadStr(TStringId::sIntroBody), false, false, clWindowText},
        {ProductPageAddress(), true, true, Blue},
        // Bold and underline stay set: only the colour goes back.
        {"\r\n", true, true, clWindowText},
    };
}

TStyledText FieldHelpText(int Row) {
    TStyledText Text = {
        {RowLabel(Row), true, false, clWindowText},
        {"", false, false, clWindowText},
    };
    if (InSheet(Row))
        Text.push_back({RowHelp(Row), false, false, clWindowText});
    return Text;
}

std::vector<std::string> AppendedLines(const TStyledText& Text) {
    std::vector<std::string> Lines;
    for (const TStyledAppend& Append : Text) {
        std::string_view Rest = Append.Text;
        for (;;) {
            const std::size_t Break = Rest.find("\r\n");
            Lines.emplace_back(Rest.substr(0, Break));
            if (Break == std::string_view::npos)
                break;
            Rest.remove_prefix(Break + 2);
        }
    }
    return Lines;
}

std::string LinuxPlatformName(const std::string& KernelRelease) {
    std::size_t Pos = 0;
    const std::optional<std::string> Major = Digits(KernelRelease, Pos);
    if (!Major || Pos >= KernelRelease.size() || KernelRelease[Pos] != '.')
        return "Linux";
    ++Pos;
    const std::optional<std::string> Minor = Digits(KernelRelease, Pos);
    if (!Minor)
        return "Linux";
    return "Linux " + *Major + "." + *Minor;
}

TPlatformCheck WindowsPlatformCheck(std::uint32_t PlatformId, std::uint32_t Major, std::uint32_t Minor) {
    if (PlatformId != kPlatformWin32Nt)
        return {false, {}};
    if (Major == 4)
        return {true, "NT4"};
    if (Major == 5 && Minor == 0)
        return {true, "Win2k"};
    if (Major == 5 && Minor == 1)
        return {true, "Win XP"};
    if (Major == 5 && Minor == 2)
        return {true, "Server 03"};
    return {true, {}};
}

const std::string& PlatformMessage() {
    static const std::string Message = "Program requires WinNT 4.0 or higher";
    return Message;
}

namespace {

std::string WithoutTrailing(std::string Directory, std::string_view Separators) {
    while (!Directory.empty() && Separators.find(Directory.back()) != std::string_view::npos)
        Directory.pop_back();
    return Directory;
}

}  // namespace

std::string LinuxExitPageAddress(const std::string& ProgramDirectory) {
    return "file://" + WithoutTrailing(ProgramDirectory, "/") + "/Quorvane.htm";
}

std::string WindowsExitPageAddress(const std::string& ProgramDirectory) {
    return "file:\\\\" + WithoutTrailing(ProgramDirectory, "\\/") + "\\Quorvane.htm";
}

std::string ExitPageAddress(const std::string& ProgramDirectory) {
#ifdef _WIN32
    return WindowsExitPageAddress(ProgramDirectory);
#else
    return LinuxExitPageAddress(ProgramDirectory);
#endif
}

std::string ReportFileName(const std::string& ChosenName) {
    const std::size_t NameStart = ChosenName.find_last_of(kDirectorySeparators);
    const std::size_t Dot = ChosenName.find_last_of('.');
    const bool HasExtension = Dot != std::string::npos && (NameStart == std::string::npos || Dot > NameStart);
    return HasExtension ? ChosenName : ChosenName + ".txt";
}

}  // namespace quorvane
