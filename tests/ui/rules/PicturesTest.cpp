#include "ui/rules/Pictures.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

int OpaqueCount(const TPicture& Picture) {
    int Count = 0;
    for (std::uint32_t Pixel : Picture.Pixels)
        Count += Pixel >> 24 == 0xFF;
    return Count;
}

TEST(Pictures, MotifsAtEveryIconSizeWithTransparency) {
    for (int Size : {16, 24, 32, 48, 64}) {
        SCOPED_TRACE(Size);
        const TPicture Window = GenericWindowPicture(Size);
        ASSERT_EQ(Window.Width, Size);
        ASSERT_EQ(Window.Height, Size);
        EXPECT_EQ(Window.At(Size / 2, Size * 3 / 4), kTransparentPixel) << "client area";
        EXPECT_EQ(Window.At(0, Size / 2), OpaquePixel(128, 128, 128)) << "mid-gray frame";
        EXPECT_EQ(Window.At(Size - 1, Size / 2), OpaquePixel(0, 0, 0)) << "shadow on the right";
        bool TitleBlue = false;
        for (int Y = 0; Y < Size / 3; ++Y)
            for (int X = 0; X < Size; ++X)
                TitleBlue |= Window.At(X, Y) == OpaquePixel(0, 0, 191);
        EXPECT_TRUE(TitleBlue) << "title bar in the top third";

        const TPicture Flag = KernelFlagPicture(Size);
        ASSERT_EQ(Flag.Pixels.size(), static_cast<std::size_t>(Size * Size));
        EXPECT_EQ(Flag.At(Size - 1, 0), kTransparentPixel) << "background";
        EXPECT_GT(OpaqueCount(Flag), Size * Size / 3);
        EXPECT_LT(OpaqueCount(Flag), Size * Size);
    }
}

TEST(Pictures, ProgramIconKeepsItsProportionsAtEverySize) {
    for (int Size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(Size);
        const TPicture Icon = ProgramIconPicture(Size);
        ASSERT_EQ(Icon.Width, Size);
        ASSERT_EQ(Icon.Height, Size);
        EXPECT_EQ(Icon.At(0, 0), kTransparentPixel) << "rounded corner";
        EXPECT_EQ(Icon.At(Size / 2, Size - 1), OpaquePixel(0, 0, 128)) << "navy ground to the edge";
        // The three rated entries cover the same share of the icon at every size.
        int Rated = 0;
        for (std::uint32_t Pixel : Icon.Pixels)
            Rated += Pixel == OpaquePixel(0, 160, 0) || Pixel == OpaquePixel(240, 208, 0) ||
                     Pixel == OpaquePixel(240, 0, 0);
        EXPECT_EQ(Rated * 256 / (Size * Size), 3 * 16) << "three entries of 4 x 4 cells";
    }
}

TEST(Pictures, LogoIsLightLetteringOnItsMidGrayGround) {
    const TPicture Logo = LogoPicture();
    ASSERT_EQ(Logo.Width, 125);
    ASSERT_EQ(Logo.Height, 32);
    EXPECT_EQ(OpaqueCount(Logo), 125 * 32) << "no pixel of its own is transparent";
    EXPECT_EQ(Logo.At(0, 31), kLogoGround) << "the bottom-left pixel keys out the ground";
    int Light = 0, Left = 125, Right = -1, Top = 32, Bottom = -1;
    for (int Y = 0; Y < 32; ++Y)
        for (int X = 0; X < 125; ++X)
            if (Logo.At(X, Y) != kLogoGround) {
                Light += Logo.At(X, Y) == OpaquePixel(220, 220, 220);
                Left = std::min(Left, X), Right = std::max(Right, X);
                Top = std::min(Top, Y), Bottom = std::max(Bottom, Y);
            }
    EXPECT_GT(Light, 400);
    // Lettering and shadow centred, whole, and clear of every edge.
    EXPECT_LE(std::abs(Left - (124 - Right)), 1);
    EXPECT_LE(std::abs(Top - (31 - Bottom)), 1);
    EXPECT_GT(Left, 0);
    EXPECT_GT(Top, 0);
}

TEST(Pictures, LogoAtTwiceTheScaleIsTheSameDrawingInBlocksOfFour) {
    const TPicture Single = LogoPicture(1);
    const TPicture Double = LogoPicture(2);
    ASSERT_EQ(Double.Width, 250);
    ASSERT_EQ(Double.Height, 64);
    int Differences = 0;
    for (int Y = 0; Y < Double.Height; ++Y)
        for (int X = 0; X < Double.Width; ++X)
            Differences += Double.At(X, Y) != Single.At(X / 2, Y / 2);
    EXPECT_EQ(Differences, 0);
}

}  // namespace
}  // namespace quorvane
