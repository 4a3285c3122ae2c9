// The controls of our own, alone on a test window: the grid's
// scrolling and keyboard, the image control, the pictures as GDI objects and
// the program's icon file.
#include "ui/win32/Controls.h"

#include <gtest/gtest.h>

#include "resources/IconFile.h"
#include "tests/ui/win32/WindowTesting.h"
#include "ui/rules/Pictures.h"
#include "ui/win32/Pictures.h"

namespace quorvane::win32::testing {
namespace {

COLORREF ColourOf(std::uint32_t Pixel) { return RGB(Pixel >> 16 & 0xFF, Pixel >> 8 & 0xFF, Pixel & 0xFF); }

bool SameRect(const RECT& A, const RECT& B) { return ::EqualRect(&A, &B) != FALSE; }

// A top-level window to put single controls on.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA Class{};
        Class.lpfnWndProc = ::DefWindowProcA;
        Class.hInstance = ::GetModuleHandleA(nullptr);
        Class.lpszClassName = "QuorvaneControlTest";
        ::RegisterClassA(&Class);
        Host = ::CreateWindowExA(0, "QuorvaneControlTest", "", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 500,
                                 500, nullptr, nullptr, Class.hInstance, nullptr);
        ASSERT_NE(Host, nullptr);
    }
    void TearDown() override {
        ::DestroyWindow(Host);
        PumpMessages();
    }
    HWND Host = nullptr;
};

class GridTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        Grid.Create(Host, 2, 15);
        Grid.SetDefaultSizes(86, 20);
        Grid.OnSelectCell = [this](int Col, int Row, bool&) { Selected.push_back({Col, Row}); };
        Place(375, 327);
    }
    void Place(int Width, int Height) {
        ::SetWindowPos(Grid.Handle(), nullptr, 0, 0, Width, Height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    TStringGrid Grid;
    std::vector<std::pair<int, int>> Selected;
};

TEST_F(GridTest, ScrollBarsOnlyWhenTheCellsDoNotFit) {
    Grid.SetColWidths(0, 100);
    Grid.SetColWidths(1, 273);
    EXPECT_FALSE(Grid.VerticalScrollBar());
    EXPECT_FALSE(Grid.HorizontalScrollBar());
    EXPECT_EQ(Grid.ClientWidth(), 375);

    Place(375, 200);  // 15 rows of 21 pixels need 315
    EXPECT_TRUE(Grid.VerticalScrollBar());
    EXPECT_TRUE(Grid.HorizontalScrollBar()) << "the vertical bar takes width the columns need";
    EXPECT_LT(Grid.ClientWidth(), 375);

    Grid.SetColWidths(1, 100);
    EXPECT_TRUE(Grid.VerticalScrollBar());
    EXPECT_FALSE(Grid.HorizontalScrollBar());
    Place(375, 400);
    EXPECT_FALSE(Grid.VerticalScrollBar());
}

TEST_F(GridTest, KeyboardAndClicksSelectRowsAndScrollThemIntoView) {
    Place(300, 105);  // five whole rows
    Grid.SelectCell(1, 2);
    EXPECT_EQ(Grid.Row(), 2);
    EXPECT_EQ(Grid.Col(), 0) << "whole-row selection: the current cell is in column 0";
    Grid.SelectCell(1, 2);
    EXPECT_EQ(Selected.size(), 2u) << "the current row once more";

    ::SendMessageA(Grid.Handle(), WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(Grid.Row(), 14);
    EXPECT_EQ(Grid.TopRow(), 10) << "the last row scrolled into view";
    EXPECT_EQ(Selected.back(), (std::pair<int, int>{0, 14}));
    const std::size_t Before = Selected.size();
    ::SendMessageA(Grid.Handle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(Selected.size(), Before) << "no move, no selection";
    ::SendMessageA(Grid.Handle(), WM_KEYDOWN, VK_PRIOR, 0);
    EXPECT_EQ(Grid.Row(), 9);
    EXPECT_EQ(Grid.TopRow(), 9);

    // A click hits the cell under the pointer, as drawn after scrolling.
    const RECT Cell = Grid.CellRect(1, 11);
    EXPECT_EQ(Cell.top, 2 * 21);
    ::SendMessageA(Grid.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(Cell.left + 1, Cell.top + 1));
    EXPECT_EQ(Grid.Row(), 11);
    EXPECT_EQ(Selected.back(), (std::pair<int, int>{1, 11}));

    // A refused selection keeps the current row.
    Grid.OnSelectCell = [](int, int, bool& CanSelect) { CanSelect = false; };
    Grid.SelectCell(0, 3);
    EXPECT_EQ(Grid.Row(), 11);
}

TEST_F(GridTest, CellsArePaintedByTheHandlerBetweenGridLines) {
    Grid.SetColWidths(0, 50);
    Grid.SetCells(1, 1, "Wert");
    std::vector<std::pair<int, int>> Drawn;
    Grid.OnDrawCell = [&](int Col, int Row, const RECT& Rect, unsigned, HDC Canvas) {
        Drawn.push_back({Col, Row});
        const COLORREF Previous = ::SetDCBrushColor(Canvas, RGB(0, 0, 200 + Col));
        ::FillRect(Canvas, &Rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        ::SetDCBrushColor(Canvas, Previous);
    };
    const TRendering Shown(Grid.Handle());
    EXPECT_EQ(Drawn.size(), 30u);
    EXPECT_EQ(Shown.At(0, 0), RGB(0, 0, 200));
    EXPECT_EQ(Shown.At(49, 19), RGB(0, 0, 200));
    EXPECT_EQ(Shown.At(50, 5), RGB(192, 192, 192)) << "the vertical line after column 0";
    EXPECT_EQ(Shown.At(5, 20), RGB(192, 192, 192)) << "the horizontal line after row 0";
    EXPECT_EQ(Shown.At(51, 21), RGB(0, 0, 201));
    EXPECT_EQ(Grid.Cells(1, 1), "Wert");
    EXPECT_EQ(Grid.Cells(2, 1), "") << "outside the grid";
}

TEST_F(ControlTest, ImageCentresStretchesAndLeavesOutItsBottomLeftColour) {
    TPanel Panel;
    Panel.Create(Host, TBevel::bvNone, TBevel::bvNone, 0);
    ::SetWindowPos(Panel.Handle(), nullptr, 0, 0, 60, 40, SWP_NOZORDER);
    TShape Ground("ground");
    TImage Centred("centred", true, false, true);
    TImage Stretched("stretched", true, true, true);
    Panel.Add(Ground);
    Panel.Add(Centred);
    Panel.Add(Stretched);
    Ground.SetBounds(0, 0, 60, 40);
    Ground.SetBrushColor(RGB(10, 20, 30));
    Centred.SetBounds(0, 0, 20, 20);
    Stretched.SetBounds(30, 0, 20, 20);
    // A 10 x 10 picture: white ground (its bottom-left pixel), a black centre.
    TPicture Picture(10, 10, OpaquePixel(255, 255, 255));
    for (int Y = 3; Y < 7; ++Y)
        for (int X = 3; X < 7; ++X)
            Picture.Set(X, Y, OpaquePixel(0, 0, 0));
    Centred.SetPicture(PictureBitmap(Picture, 24));
    Stretched.SetPicture(PictureBitmap(Picture, 24));
    EXPECT_TRUE(SameRect(Centred.PictureRect(), {5, 5, 15, 15}));
    EXPECT_TRUE(SameRect(Stretched.PictureRect(), {30, 0, 50, 20}));
    EXPECT_EQ(Centred.TransparentColor(), RGB(255, 255, 255));

    const TRendering Shown(Panel.Handle());
    EXPECT_EQ(Shown.At(6, 6), RGB(10, 20, 30)) << "the white ground is left out";
    EXPECT_EQ(Shown.At(9, 9), RGB(0, 0, 0));
    EXPECT_EQ(Shown.At(31, 1), RGB(10, 20, 30));
    EXPECT_EQ(Shown.At(37, 7), RGB(0, 0, 0)) << "stretched: the centre covers 6..13";
    EXPECT_EQ(Shown.At(44, 14), RGB(10, 20, 30));
}

TEST_F(ControlTest, PanelBevelsAndBorderSetTheInset) {
    TPanel Hint;
    Hint.Create(Host, TBevel::bvRaised, TBevel::bvLowered, 5);
    ::SetWindowPos(Hint.Handle(), nullptr, 0, 0, 100, 50, SWP_NOZORDER);
    EXPECT_EQ(Hint.Inset(), 7);
    EXPECT_TRUE(SameRect(Hint.InnerRect(), {7, 7, 93, 43}));
    const TRendering Shown(Hint.Handle());
    EXPECT_EQ(Shown.At(0, 10), ::GetSysColor(COLOR_3DHILIGHT)) << "raised outer bevel: light at the left";
    EXPECT_EQ(Shown.At(99, 10), ::GetSysColor(COLOR_3DSHADOW));
    EXPECT_EQ(Shown.At(6, 10), ::GetSysColor(COLOR_3DSHADOW)) << "lowered inner bevel: dark at the left";
    EXPECT_EQ(Shown.At(93, 10), ::GetSysColor(COLOR_3DHILIGHT));
    EXPECT_EQ(Shown.At(3, 10), ::GetSysColor(COLOR_BTNFACE)) << "the border between them";
}

TEST(Pictures, ImageListImagesKeepTheirTransparency) {
    const TImageListHandle List = TImageList::NewList(16, 16);
    ASSERT_EQ(AddPicture(List.Get(), GenericWindowPicture(16)), 0);
    const TPicture Motif = GenericWindowPicture(16);
    const TCanvas Drawn(16, 16, RGB(1, 2, 3));
    ::ImageList_Draw(List.Get(), 0, Drawn.Dc(), 0, 0, ILD_NORMAL);
    for (int Y = 0; Y < 16; ++Y)
        for (int X = 0; X < 16; ++X) {
            const std::uint32_t Pixel = Motif.At(X, Y);
            const COLORREF Expected = Pixel >> 24 ? ColourOf(Pixel) : RGB(1, 2, 3);
            ASSERT_EQ(Drawn.At(X, Y), Expected) << X << "," << Y;
        }
}

TEST(Pictures, ResamplingKeepsTheColoursExact) {
    const TPicture Logo = LogoPicture();
    const TPicture Larger = ScaledPicture(Logo, 188, 48);
    ASSERT_EQ(Larger.Width, 188);
    EXPECT_EQ(Larger.At(0, 47), kLogoGround);
    for (std::uint32_t Pixel : Larger.Pixels)
        ASSERT_NE(std::find(Logo.Pixels.begin(), Logo.Pixels.end(), Pixel), Logo.Pixels.end());
    EXPECT_EQ(ScaledPicture(Logo, 125, 32).Pixels, Logo.Pixels) << "the same size is the same picture";
}

// The icon file the build writes for the .exe, read back by the system's own icon loader.
TEST(ProgramIconFile, EverySizeReadsBackAsDrawn) {
    const std::vector<int> Sizes = {16, 32, 48, 256};
    std::vector<TPicture> Pictures;
    for (int Size : Sizes)
        Pictures.push_back(ProgramIconPicture(Size));
    const std::vector<std::uint8_t> File = IconFileBytes(Pictures);
    ASSERT_GE(File.size(), 6u + 16u * Sizes.size());
    EXPECT_EQ(File[2], 1) << "an icon";
    EXPECT_EQ(File[4], Sizes.size());
    for (std::size_t I = 0; I < Sizes.size(); ++I) {
        const int Size = Sizes[I];
        SCOPED_TRACE(Size);
        const std::uint8_t* Entry = File.data() + 6 + 16 * I;
        const std::uint32_t Bytes =
            Entry[8] | Entry[9] << 8 | Entry[10] << 16 | static_cast<std::uint32_t>(Entry[11]) << 24;
        const std::uint32_t Offset =
            Entry[12] | Entry[13] << 8 | Entry[14] << 16 | static_cast<std::uint32_t>(Entry[15]) << 24;
        ASSERT_LE(static_cast<std::size_t>(Offset) + Bytes, File.size());
        const TIconHandle Icon(::CreateIconFromResourceEx(const_cast<std::uint8_t*>(File.data() + Offset), Bytes, TRUE,
                                                          0x00030000, Size, Size, LR_DEFAULTCOLOR));
        ASSERT_TRUE(Icon);
        const TCanvas Drawn(Size, Size, RGB(128, 128, 128));
        ::DrawIconEx(Drawn.Dc(), 0, 0, Icon.Get(), Size, Size, 0, nullptr, DI_NORMAL);
        int Opaque = 0;
        for (int Y = 0; Y < Size; ++Y)
            for (int X = 0; X < Size; ++X) {
                const std::uint32_t Pixel = Pictures[I].At(X, Y);
                const COLORREF Expected = Pixel >> 24 ? ColourOf(Pixel) : RGB(128, 128, 128);
                ASSERT_EQ(Drawn.At(X, Y), Expected) << X << "," << Y;
                Opaque += Pixel >> 24 != 0;
            }
        EXPECT_GT(Opaque, Size * Size / 2);
    }
    EXPECT_THROW(IconFileBytes({TPicture(16, 8, 0)}), std::invalid_argument);
    EXPECT_THROW(IconFileBytes({TPicture(300, 300, 0)}), std::invalid_argument);
}

}  // namespace
}  // namespace quorvane::win32::testing
