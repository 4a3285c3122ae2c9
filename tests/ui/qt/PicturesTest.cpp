#include "ui/qt/Pictures.h"

#include <gtest/gtest.h>

#include "ui/qt/QtTestApp.h"

namespace quorvane {
namespace {

int Opaque(const QImage& Image) {
    int Count = 0;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X)
            Count += qAlpha(Image.pixel(X, Y)) == 255;
    return Count;
}

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::TestApp(); }
};

TEST_F(Pictures, MotifsAtBothSizesWithTransparency) {
    for (int Size : {16, 32}) {
        const QImage Window = GenericWindowPicture(Size);
        ASSERT_EQ(Window.size(), QSize(Size, Size));
        EXPECT_EQ(qAlpha(Window.pixel(Size / 2, Size * 3 / 4)), 0) << "transparent client area at " << Size;
        EXPECT_EQ(Window.pixelColor(0, Size / 2), QColor(128, 128, 128)) << "mid-gray frame";
        EXPECT_EQ(Window.pixelColor(Size - 1, Size / 2), QColor(0, 0, 0)) << "shadow on the right";
        bool TitleBlue = false;
        for (int X = 0; X < Size; ++X)
            TitleBlue |= Window.pixelColor(X, Size / 8 + 3) == QColor(0, 0, 191);
        EXPECT_TRUE(TitleBlue) << Size;

        const QImage Flag = KernelFlagPicture(Size);
        ASSERT_EQ(Flag.size(), QSize(Size, Size));
        EXPECT_EQ(qAlpha(Flag.pixel(Size - 1, 0)), 0) << "transparent background";
        EXPECT_GT(Opaque(Flag), Size * Size / 3);
        EXPECT_LT(Opaque(Flag), Size * Size);
    }
}

TEST_F(Pictures, LogoOnItsMidGrayGround) {
    const QImage Logo = LogoPicture();
    ASSERT_EQ(Logo.size(), QSize(125, 32));
    EXPECT_EQ(Logo.depth(), 24);
    EXPECT_EQ(Logo.pixelColor(0, 31), QColor(128, 128, 128));
    int Lettering = 0;
    for (int Y = 0; Y < 32; ++Y)
        for (int X = 0; X < 125; ++X)
            Lettering += qGray(Logo.pixel(X, Y)) > 180;
    EXPECT_GT(Lettering, 100) << "light lettering";
}

}  // namespace
}  // namespace quorvane
