#include "ui/qt/Pictures.h"

#include <gtest/gtest.h>

#include "ui/qt/QtTestApp.h"

namespace quorvane {
namespace {

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::TestApp(); }
};

TEST_F(Pictures, MotifsKeepTheirTransparencyAndTheLogoIs24BitsPerPixel) {
    const QImage Window = QtImage(GenericWindowPicture(32));
    ASSERT_EQ(Window.size(), QSize(32, 32));
    EXPECT_TRUE(Window.hasAlphaChannel());
    EXPECT_EQ(qAlpha(Window.pixel(16, 24)), 0);
    EXPECT_EQ(Window.pixelColor(0, 16), QColor(128, 128, 128));

    const QImage Logo = QtImage(LogoPicture());
    ASSERT_EQ(Logo.size(), QSize(125, 32));
    EXPECT_EQ(Logo.depth(), 24);
    EXPECT_EQ(Logo.pixelColor(0, 31), QColor(128, 128, 128));
    const TPicture Drawn = LogoPicture();
    int Differences = 0;
    for (int Y = 0; Y < 32; ++Y)
        for (int X = 0; X < 125; ++X)
            Differences += Logo.pixel(X, Y) != Drawn.At(X, Y);
    EXPECT_EQ(Differences, 0);
}

}  // namespace
}  // namespace quorvane
