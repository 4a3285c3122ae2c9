#include "ui/rules/FormLayout.h"

#include <gtest/gtest.h>

#include <ostream>

namespace quorvane {

std::ostream& operator<<(std::ostream& Out, const TRect& R) {
    return Out << "{" << R.Left << ", " << R.Top << ", " << R.Right << ", " << R.Bottom << "}";
}

namespace {

const TFormMetrics Design = FormMetrics(96);

TEST(AlignChildren, TopBottomLeftThenClientInCreationOrder) {
    std::vector<TAlignedChild> Children = {
        {TAlign::alClient, 0}, {TAlign::alLeft, 50}, {TAlign::alTop, 10},
        {TAlign::alBottom, 5}, {TAlign::alTop, 20},  {TAlign::alLeft, 3},
    };
    AlignChildren({0, 0, 200, 100}, Children);
    EXPECT_EQ(Children[2].Bounds, (TRect{0, 0, 200, 10}));
    EXPECT_EQ(Children[4].Bounds, (TRect{0, 10, 200, 30})) << "the second top child below the first";
    EXPECT_EQ(Children[3].Bounds, (TRect{0, 95, 200, 100}));
    EXPECT_EQ(Children[1].Bounds, (TRect{0, 30, 50, 95}));
    EXPECT_EQ(Children[5].Bounds, (TRect{50, 30, 53, 95}));
    EXPECT_EQ(Children[0].Bounds, (TRect{53, 30, 200, 95}));
}

TEST(AlignChildren, HiddenChildrenGiveTheirRoomAndSizesAreCutAtWhatRemains) {
    std::vector<TAlignedChild> Children = {
        {TAlign::alTop, 40}, {TAlign::alBottom, 201, false, {1, 2, 3, 4}}, {TAlign::alClient, 0}};
    AlignChildren({5, 5, 380, 573}, Children);
    EXPECT_EQ(Children[2].Bounds, (TRect{5, 45, 380, 573})) << "the fill child reaches the bottom";
    EXPECT_EQ(Children[1].Bounds, (TRect{1, 2, 3, 4})) << "a hidden child keeps its place";

    Children[1].Visible = true;
    AlignChildren({0, 0, 100, 30}, Children);
    EXPECT_EQ(Children[0].Bounds, (TRect{0, 0, 100, 30}));
    EXPECT_EQ(Children[1].Bounds, (TRect{0, 30, 100, 30})) << "no room left: empty, never negative";
    EXPECT_EQ(Children[2].Bounds, (TRect{0, 30, 100, 30}));
}

TEST(FormMetrics, ScaledToTheNearestPixelHalvesAwayFromZero) {
    EXPECT_EQ(ScaledLength(-3, 144), -5) << "-4.5";
    EXPECT_EQ(ScaledLength(1, 120), 1) << "1.25";
    EXPECT_EQ(FormMetrics(144).HintHeight, 302) << "301.5";
    EXPECT_EQ(MinimumClientSize(Design), (TSize{403, 402}));
    EXPECT_EQ(MinimumClientSize(FormMetrics(144)), (TSize{225 + 5 + 375, 50 + 29 + 525}));
}

// The tree gives way before the sheet falls below its minimum, and gets the
// width the user gave it back when the window widens.
TEST(LayoutForm, PanelsAlignedWithinTheirMinimumWidths) {
    struct TCase {
        TSize Client;
        int Wanted;
        TRect Main;
        TRect Details;
    };
    const TCase Cases[] = {
        {{733, 630}, 345, {0, 33, 345, 611}, {348, 33, 733, 611}},  // as designed
        {{403, 402}, 345, {0, 33, 150, 383}, {153, 33, 403, 383}},  // the narrowest window
        {{500, 630}, 345, {0, 33, 247, 611}, {250, 33, 500, 611}},
        {{1000, 630}, 345, {0, 33, 345, 611}, {348, 33, 1000, 611}},  // the width comes back
        {{733, 630}, 10, {0, 33, 150, 611}, {153, 33, 733, 611}},     // the tree's minimum
        {{300, 200}, 345, {0, 33, 150, 181}, {153, 33, 300, 181}},    // below the minimum: the tree keeps its own
        {{100, 40}, 345, {0, 33, 100, 33}, {100, 33, 100, 33}},       // nothing negative
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(::testing::Message() << Case.Client.Width << " x " << Case.Client.Height);
        const TFormLayout Layout = LayoutForm(Case.Client, Case.Wanted, Design);
        const int Bottom = std::max(33, Case.Client.Height - 19);
        EXPECT_EQ(Layout.Tool, (TRect{0, 0, Case.Client.Width, std::min(33, Case.Client.Height)}));
        EXPECT_EQ(Layout.Status, (TRect{0, Bottom, Case.Client.Width, Case.Client.Height}));
        EXPECT_EQ(Layout.Main, Case.Main);
        EXPECT_EQ(Layout.Splitter,
                  (TRect{Case.Main.Right, 33, std::min(Case.Main.Right + 3, Case.Client.Width), Case.Main.Bottom}));
        EXPECT_EQ(Layout.Details, Case.Details);
    }
}

TEST(LayoutForm, TheSplitterStopsAtBothMinimums) {
    EXPECT_EQ(MainPanelWidth(345 + 50, 833, Design), 395);
    EXPECT_EQ(MainPanelWidth(345 + 1000, 833, Design), 833 - 3 - 250);
    EXPECT_EQ(MainPanelWidth(345 - 1000, 833, Design), 150);
    EXPECT_EQ(MainPanelWidth(150, 403, Design), 150) << "both at their minimum";
}

TEST(LayoutDetails, TitleAtTheTopHelpAtTheBottomGridBetween) {
    const TRect Inner{5, 5, 380, 573};
    const TDetailsLayout Shown = LayoutDetails(Inner, true, Design);
    EXPECT_EQ(Shown.Title, (TRect{5, 5, 380, 45}));
    EXPECT_EQ(Shown.Hint, (TRect{5, 372, 380, 573}));
    EXPECT_EQ(Shown.Grid, (TRect{5, 45, 380, 372}));
    const TDetailsLayout Hidden = LayoutDetails(Inner, false, Design);
    EXPECT_EQ(Hidden.Title, Shown.Title);
    EXPECT_EQ(Hidden.Hint, Shown.Hint) << "where the help shows again";
    EXPECT_EQ(Hidden.Grid, (TRect{5, 45, 380, 573})) << "the grid reaches the bottom";

    const TDetailsLayout Cramped = LayoutDetails({5, 5, 245, 105}, true, Design);
    EXPECT_EQ(Cramped.Hint, (TRect{5, 45, 245, 105})) << "cut at what the title leaves";
    EXPECT_EQ(Cramped.Grid.Height(), 0);
}

TEST(NeededScrollBars, OnlyWhereTheContentDoesNotFitEachTakingRoomFromTheOther) {
    struct TCase {
        TSize Content;
        TScrollBars Expected;
    };
    const TSize Outer{100, 100};
    const TSize Bars{17, 17};
    const TCase Cases[] = {
        {{100, 100}, {false, false}},
        {{100, 101}, {true, true}},   // the vertical bar narrows the width the columns need
        {{83, 101}, {true, false}},
        {{101, 83}, {false, true}},
        {{101, 84}, {true, true}},    // the horizontal bar shortens the height the rows need
        {{200, 200}, {true, true}},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(NeededScrollBars(Outer, Case.Content, Bars), Case.Expected)
            << Case.Content.Width << " x " << Case.Content.Height;
}

TEST(SheetColumnWidths, TheColumnsFillTheGridAsTheLayoutLeavesIt) {
    const TSize Bars{17, 17};
    const int Widest = 75;
    const int Rows = 15 * 21;
    const TColumnWidths Fits = SheetColumnWidths(Widest, {375, 327}, Rows, Bars);
    EXPECT_EQ(Fits, GridColumnWidths(Widest, 375));
    const TColumnWidths Scrolls = SheetColumnWidths(Widest, {375, 99}, Rows, Bars);
    EXPECT_EQ(Scrolls, GridColumnWidths(Widest, 375 - 17)) << "beside the vertical bar";
    EXPECT_EQ(SheetColumnWidths(Widest, {375, 327}, Rows, Bars), Fits) << "the bar went: the full width again";
    // Narrower than the label column: a horizontal bar, which leaves the rows too little height.
    EXPECT_EQ(SheetColumnWidths(Widest, {80, 320}, Rows, Bars).Label, 85);
    EXPECT_EQ(SheetColumnWidths(Widest, {80, 320}, Rows, Bars).Value, 80 - 17 - 85 - 2);
}

TEST(WheelRows, StepsSmallerThanANotchAddUp) {
    TWheelRows OneRow;
    EXPECT_EQ(OneRow.Rows(60, 1), 0);
    EXPECT_EQ(OneRow.Rows(60, 1), 1) << "two 60-unit steps: one notch";
    EXPECT_EQ(OneRow.Rows(-120, 1), -1);

    TWheelRows ThreeRows;
    EXPECT_EQ(ThreeRows.Rows(60, 3), 1) << "a row and a half: one, the half kept";
    EXPECT_EQ(ThreeRows.Rows(60, 3), 2);
    EXPECT_EQ(ThreeRows.Rows(20, 3), 0);
    EXPECT_EQ(ThreeRows.Rows(-20, 3), 0) << "a turn the other way drops what was kept";
    EXPECT_EQ(ThreeRows.Rows(-240, 3), -6);
}

}  // namespace
}  // namespace quorvane
