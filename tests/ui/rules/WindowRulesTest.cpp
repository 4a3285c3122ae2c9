#include "ui/rules/WindowRules.h"

#include <gtest/gtest.h>

#include "catalogue/PathText.h"
#include "fakes/SystemText.h"
#include "resources/StringTable.h"

namespace quorvane {
namespace {

using testing::Sys;

TEST(SheetTexts, LabelsInRowOrderWithTheComposedKernelTimeLabel) {
    const TSheetTexts Labels = RowLabels();
    EXPECT_EQ(Labels[0], "Hersteller");
    EXPECT_EQ(Labels[5], "Prozess ID");
    EXPECT_EQ(Labels[8], "Laufzeit");
    EXPECT_EQ(Labels[9], "Laufzeit (Kern)");
    EXPECT_EQ(Labels[11], Sys("Priorität"));
    EXPECT_EQ(Labels[12], Sys("Grösse"));
    EXPECT_EQ(Labels[14], "Virengefahr");
    EXPECT_EQ(WidestRowLabel(), "Anzahl Threads");
    EXPECT_EQ(RowLabel(-1), "");
    EXPECT_EQ(RowLabel(15), "");
}

TEST(SheetTexts, HelpTextsKeepTheirLineBreaksAndSingleBackslash) {
    EXPECT_NE(RowHelp(2).find(".\r\nDiese Information"), std::string::npos);
    EXPECT_NE(RowHelp(4).find("(C:\\)"), std::string::npos);
    EXPECT_EQ(RowHelp(9), LoadStr(TStringId::sHelpKernelTime));
    EXPECT_EQ(RowHelp(14).rfind("Berechneter Sicherheitslevel", 0), 0u);
    EXPECT_EQ(RowHelp(15), "");
    EXPECT_EQ(RowHelp(-1), "");
}

TNodeData FullRecord() {
    TNodeData Data;
    Data.ProcessId = 4242;
    Data.ImagePath = "/usr/lib/app/bin/tool";
    Data.CompanyName = "Maker";
    Data.FileDescription = "A tool";
    Data.FileVersion = "1.2.3";
    Data.LanguageName = "Deutsch";
    Data.StartTime = "07.12.2026 10:00:00";
    Data.CpuTime = "00:00:02.500";
    Data.KernelTime = "00:00:01.000";
    Data.ThreadCount = 7;
    Data.ImageSize = 512;
    Data.PriorityClass = 64;
    Data.RiskLevel = rlSlightlyDangerous;
    Data.Remark = "remark";
    return Data;
}

TEST(SheetValues, EveryRowFromTheRecord) {
    const std::string Parent = "init";
    const TSheetTexts V = SheetValues(FullRecord(), &Parent);
    const TSheetTexts Expected = {"Maker", "A tool", "1.2.3", "Deutsch", DirectoryPart("/usr/lib/app/bin/tool"),
                                  "4242", "init", "07.12.2026 10:00:00", "00:00:02.500", "00:00:01.000", "7",
                                  "Leerlauf", "512 bytes", "remark", Sys("Schwach gefährlich")};
    EXPECT_EQ(V, Expected);
}

TEST(SheetValues, EdgesOfParentSizePathAndId) {
    TNodeData Data;
    Data.ProcessId = 0;
    Data.ImagePath = "tool";  // no separator at all
    TSheetTexts V = SheetValues(Data, nullptr);
    EXPECT_EQ(V[4], "");
    EXPECT_EQ(V[5], "0");
    EXPECT_EQ(V[6], "") << "a top-level node has no starting process";
    EXPECT_EQ(V[12], "") << "size 0 shows nothing, not \"0 bytes\"";
    EXPECT_EQ(V[11], "");
    EXPECT_EQ(V[14], Sys("Gefährlichkeit nicht bestimmbar"));

    Data.ProcessId = 4294967295u;
    Data.ImageSize = 4294967295u;
    const std::string Root = std::string(1, kDirectorySeparators[0]) + "tool";
    Data.ImagePath = Root;
    V = SheetValues(Data, nullptr);
    EXPECT_EQ(V[5], "4294967295") << "never with a minus sign";
    EXPECT_EQ(V[12], "4294967295 bytes");
    EXPECT_EQ(V[4], std::string(1, kDirectorySeparators[0]));
}

TEST(Colors, CellsByFocusThenColumn) {
    EXPECT_EQ(CellColors(true, 0).Background, clHighlight);
    EXPECT_EQ(CellColors(true, 1).Background, clHighlight);
    EXPECT_EQ(CellColors(true, 1).Text, clHighlightText);
    EXPECT_EQ(CellColors(false, 0).Background, clBtnFace);
    EXPECT_EQ(CellColors(false, 1).Background, clWindow);
    EXPECT_EQ(CellColors(false, 0).Text, clWindowText);
    EXPECT_EQ(CellColors(false, 1).Text, clWindowText);
}

TEST(Colors, TreeTextByLevelAndSelection) {
    EXPECT_FALSE(TreeTextColor(nullptr, false));
    EXPECT_FALSE(TreeTextColor(nullptr, true));
    TNodeData Data;
    for (std::uint8_t Level : {0, 4, 9}) {
        Data.RiskLevel = static_cast<TRiskLevel>(Level);
        EXPECT_EQ(TreeTextColor(&Data, false), clWindowText) << int(Level);
        EXPECT_EQ(TreeTextColor(&Data, true), clWindow) << int(Level);
    }
    const TColor Expected[] = {TColor::Rgb(240, 0, 0), TColor::Rgb(240, 208, 0), TColor::Rgb(0, 128, 0)};
    for (std::uint8_t Level : {1, 2, 3}) {
        Data.RiskLevel = static_cast<TRiskLevel>(Level);
        EXPECT_EQ(TreeTextColor(&Data, false), Expected[Level - 1]) << int(Level);
        EXPECT_EQ(TreeTextColor(&Data, true), Expected[Level - 1]) << "keeps its colour when selected";
    }
}

TEST(Gradient, EdgesOfWidth) {
    EXPECT_EQ(GradientGray(1, 1), 192) << "a 1-pixel toolbar: t = 64, i mod 3 = 1";
    EXPECT_EQ(GradientGrayAtColumn(0, 1), 192);
    // Rightmost column (i = 1): t = 64 / W truncated.
    EXPECT_EQ(GradientGray(1, 64), 1 + 127 + 1);
    EXPECT_EQ(GradientGray(1, 63), 1 + 127 + 1);
    EXPECT_EQ(GradientGray(1, 65), 0 + 127 + 1);
    EXPECT_EQ(GradientGrayAtColumn(131, 132), 128);
    // Leftmost column: 191 + W mod 3.
    EXPECT_EQ(GradientGrayAtColumn(0, 132), 191);
    EXPECT_EQ(GradientGrayAtColumn(0, 133), 192);
    EXPECT_EQ(GradientGrayAtColumn(0, 134), 193);
    for (int W : {1, 2, 3, 64, 65, 733})
        for (int I = 1; I <= W; ++I) {
            const int G = GradientGray(I, W);
            ASSERT_GE(G, 127);
            ASSERT_LE(G, 193);
        }
}

TEST(Placement, LogoFlushRightAndHalvedTowardZero) {
    EXPECT_EQ(LogoPosition(733, 33, 132, 33), (TPoint{601, 0}));
    EXPECT_EQ(LogoPosition(131, 33, 132, 33).X, -1) << "a toolbar narrower than the logo";
    EXPECT_EQ(LogoPosition(1, 30, 132, 33), (TPoint{-131, -1}));
    EXPECT_EQ(LogoPosition(100, 32, 132, 33).Y, 0) << "-1 halves to 0";
    EXPECT_EQ(LogoPosition(100, 1, 132, 33).Y, -16);
    EXPECT_EQ(LogoPosition(100, 40, 132, 33).Y, 3);
}

TEST(Placement, TitleLabelLeftOfCentreAndNegativeWhenWider) {
    EXPECT_EQ(TitleLabelPosition(375, 40, 4, 19, 4, 32), (TPoint{(375 - 4 - 36) / 2 + 28, 10}));
    // A difference of -5 halves to -2.
    EXPECT_EQ(TitleLabelPosition(100, 40, 69, 19, 4, 32).X, -2 + 28);
    // A label much wider than the title.
    EXPECT_EQ(TitleLabelPosition(100, 10, 200, 19, 4, 32), (TPoint{-68 + 28, -4}));
    EXPECT_EQ(TitleLabelPosition(100, 10, 200, 19, 10, 20).X, -65 + 10);
}

TEST(Placement, GridColumnsFillTheClientWidth) {
    EXPECT_EQ(GridColumnWidths(80, 375), (TColumnWidths{90, 283}));
    const TColumnWidths W = GridColumnWidths(75, 240);
    EXPECT_EQ(W.Label + W.Value + 2, 240);
    EXPECT_EQ(GridColumnWidths(80, 50).Value, -42) << "kept as computed";
}

TEST(MemoText, IntroLinesAndStyles) {
    const TStyledText Intro = IntroText();
    ASSERT_EQ(Intro.size(), 5u);
    EXPECT_EQ(Intro[0], (TStyledAppend{"Hier erhalten sie weitere Informationen.", true, false, clWindowText}));
    EXPECT_FALSE(Intro[1].Bold);
    EXPECT_FALSE(Intro[2].Bold);
    EXPECT_TRUE(Intro[3].Bold && Intro[3].Underline);
    EXPECT_EQ(Intro[3].Color, TColor::Rgb(0, 0, 255));
    EXPECT_EQ(Intro[3].Text, ProductPageAddress());
    EXPECT_EQ(ProductPageAddress().rfind("https://", 0), 0u);
    EXPECT_TRUE(Intro[4].Bold && Intro[4].Underline) << "only the colour goes back";
    EXPECT_EQ(Intro[4].Color, clWindowText);

    const std::vector<std::string> Expected = {
        "Hier erhalten sie weitere Informationen.",
        "",
        Sys("Durch Mausklick auf ein Feld wird eine kurze Erklärung zum Feld gezeigt."),
        "",
        "Weitere Informationen zu unseren Produkte erhalten Sie unter",
        ProductPageAddress(),
        "",
        ""};
    EXPECT_EQ(AppendedLines(Intro), Expected);
    EXPECT_EQ(IntroHeading(), Expected[0]);
}

TEST(MemoText, FieldHelpIsBoldLabelEmptyLineAndHelp) {
    const TStyledText Help = FieldHelpText(9);
    ASSERT_EQ(Help.size(), 3u);
    EXPECT_EQ(Help[0], (TStyledAppend{"Laufzeit (Kern)", true, false, clWindowText}));
    EXPECT_EQ(Help[1], (TStyledAppend{"", false, false, clWindowText}));
    EXPECT_EQ(Help[2], (TStyledAppend{RowHelp(9), false, false, clWindowText}));

    const std::vector<std::string> Lines = AppendedLines(FieldHelpText(13));
    ASSERT_EQ(Lines.size(), 5u) << "label, empty line, help with one empty line between its paragraphs";
    EXPECT_EQ(Lines[0], "Hinweis");
    EXPECT_EQ(Lines[1], "");
    EXPECT_EQ(Lines[3], "");

    EXPECT_EQ(FieldHelpText(15).size(), 2u) << "no help outside the sheet";
}

TEST(Platform, LinuxNameFromTheKernelRelease) {
    EXPECT_EQ(LinuxPlatformName("6.1.0-18-amd64"), "Linux 6.1");
    EXPECT_EQ(LinuxPlatformName("5.15"), "Linux 5.15");
    EXPECT_EQ(LinuxPlatformName("10.4.2"), "Linux 10.4");
    EXPECT_EQ(LinuxPlatformName("6"), "Linux");
    EXPECT_EQ(LinuxPlatformName("6."), "Linux");
    EXPECT_EQ(LinuxPlatformName(""), "Linux");
    EXPECT_EQ(LinuxPlatformName("x6.1"), "Linux");
}

TEST(Platform, WindowsCheckByVersion) {
    EXPECT_FALSE(WindowsPlatformCheck(1, 4, 10).Accepted);
    EXPECT_FALSE(WindowsPlatformCheck(0, 5, 1).Accepted);
    EXPECT_EQ(WindowsPlatformCheck(2, 4, 0).PanelText, "NT4");
    EXPECT_EQ(WindowsPlatformCheck(2, 5, 0).PanelText, "Win2k");
    EXPECT_EQ(WindowsPlatformCheck(2, 5, 1).PanelText, "Win XP");
    EXPECT_EQ(WindowsPlatformCheck(2, 5, 2).PanelText, "Server 03");
    const TPlatformCheck Newer = WindowsPlatformCheck(2, 10, 0);
    EXPECT_TRUE(Newer.Accepted);
    EXPECT_EQ(Newer.PanelText, "");
    EXPECT_EQ(WindowsPlatformCheck(2, 5, 3).PanelText, "");
    EXPECT_EQ(PlatformMessage(), "Program requires WinNT 4.0 or higher");
}

TEST(ExitPage, BesideTheProgram) {
    EXPECT_EQ(LinuxExitPageAddress("/opt/quorvane"), "file:///opt/quorvane/Quorvane.htm");
    EXPECT_EQ(LinuxExitPageAddress("/opt/quorvane/"), "file:///opt/quorvane/Quorvane.htm");
    EXPECT_EQ(WindowsExitPageAddress("C:\\Programme\\Quorvane"), "file:\\\\C:\\Programme\\Quorvane\\Quorvane.htm");
    EXPECT_EQ(WindowsExitPageAddress("C:\\Programme\\Quorvane\\"), "file:\\\\C:\\Programme\\Quorvane\\Quorvane.htm");
}

TEST(ReportName, TxtOnlyWithoutExtension) {
    const std::string Sep(1, kDirectorySeparators[0]);
    EXPECT_EQ(ReportFileName("report"), "report.txt");
    EXPECT_EQ(ReportFileName("report.csv"), "report.csv");
    EXPECT_EQ(ReportFileName("report.txt"), "report.txt");
    EXPECT_EQ(ReportFileName("dir.d" + Sep + "report"), "dir.d" + Sep + "report.txt");
    EXPECT_EQ(ReportFileName("dir" + Sep + ".hidden"), "dir" + Sep + ".hidden");
}

}  // namespace
}  // namespace quorvane
