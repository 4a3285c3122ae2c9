// The window on a scaled screen: CTest runs these cases again with
// QT_SCALE_FACTOR 1.5 and 2. Every check reads the pixels the window draws.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>

#include "fakes/FakeProcessSource.h"
#include "fakes/FakeVersionApi.h"
#include "ui/qt/MainFrm.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/QtTestApp.h"

namespace quorvane {
namespace {

using testing::FakeFile;
using testing::Process;
using testing::ProcessWithImage;

// The device pixels a span of the window's pixels [From, To) covers at Ratio.
struct TPixelSpan {
    int First;
    int Last;
};
TPixelSpan Covered(int From, int To, qreal Ratio) {
    return {static_cast<int>(std::floor(From * Ratio)), static_cast<int>(std::ceil(To * Ratio)) - 1};
}

// Whether the pixel at (X, Y) has the colour, whatever the image's format.
bool IsColor(const QImage& Image, int X, int Y, const QColor& Color) {
    return Image.valid(X, Y) && qRgb(qRed(Image.pixel(X, Y)), qGreen(Image.pixel(X, Y)), qBlue(Image.pixel(X, Y))) ==
                                    qRgb(Color.red(), Color.green(), Color.blue());
}

// The bounding box of the pixels in Area (device pixels) that differ from Ground.
QRect InkBox(const QImage& Image, const QRect& Area, const QColor& Ground) {
    QRect Box;
    for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
        for (int X = Area.left(); X <= Area.right(); ++X)
            if (Image.valid(X, Y) && !IsColor(Image, X, Y, Ground))
                Box |= QRect(X, Y, 1, 1);
    return Box;
}

QRect DevicePixels(const QRect& Logical, qreal Ratio) {
    const TPixelSpan H = Covered(Logical.left(), Logical.right() + 1, Ratio);
    const TPixelSpan V = Covered(Logical.top(), Logical.bottom() + 1, Ratio);
    return QRect(QPoint(H.First, V.First), QPoint(H.Last, V.Last));
}

class ScaledWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::TestApp(); }

    void SetUp() override {
        Source.Processes = {
            Process("[System Process]", 0, 0, 2),
            Process("System", 4, 0, 90),
            ProcessWithImage("init", 1, 0, "/sbin/init", 512),
            Process("orphan", 20, 999),
        };
        Api.Add("/sbin/init", FakeFile("Maker", "Init", "1.0"));
        TFrmMainServices Services;
        Services.OpenUrl = [](const std::string&) {};
        Services.KernelRelease = "6.1.0";
        Services.ProgramDirectory = "/opt/quorvane";
        Services.ApplicationDirs = {Empty.path()};
        Form = std::make_unique<TFrmMain>(Source, Api, Services);
        Form->show();
        Ratio = Form->devicePixelRatioF();
        // Reported, so that a run at the wrong scale shows in the log.
        RecordProperty("DevicePixelRatio", QString::number(Ratio).toStdString());
    }

    // The whole window as the screen gets it: panels at fractional device
    // positions included.
    QImage WindowPicture() { return Form->grab().toImage(); }

    // The device rectangle of Widget's Rect (in Widget's pixels) in WindowPicture().
    QRect InWindow(const QWidget* Widget, const QRect& Rect) {
        return DevicePixels(QRect(Widget->mapTo(Form.get(), Rect.topLeft()), Rect.size()), Ratio);
    }

    QTemporaryDir Empty;
    testing::TFakeProcessSource Source;
    testing::TFakeVersionApi Api;
    std::unique_ptr<TFrmMain> Form;
    qreal Ratio = 1;
};

TEST_F(ScaledWindow, ImageListsHoldTheDevicePixels) {
    const int Small = static_cast<int>(std::ceil(16 * Ratio));
    EXPECT_EQ(Form->ImageList.PixelSize(), QSize(Small, Small));
    for (int I = 0; I < Form->ImageList.Count(); ++I) {
        EXPECT_EQ(Form->ImageList.Image(I).deviceIndependentSize(), QSizeF(16, 16)) << I;
        EXPECT_EQ(Form->ImageListLarge.Image(I).deviceIndependentSize(), QSizeF(32, 32)) << I;
    }
    // The motifs are drawn for the device pixels, not enlarged: their frame
    // is one device pixel wide, so the pixel inside it is silver.
    const QImage Motif = Form->ImageList.Image(0).toImage();
    EXPECT_EQ(Motif.pixelColor(0, Small / 2), QColor(128, 128, 128));
    EXPECT_EQ(Motif.pixelColor(1, Small / 2), QColor(192, 192, 192));
}

TEST_F(ScaledWindow, TreeIconsFillTheirSixteenPixels) {
    TTreeView* Tree = Form->TreeView;
    Form->btnReload->setFocus();  // no highlight behind the entries
    // Motifs of the lists (orphan, System) and an icon that comes as a QIcon (init).
    for (const char* Name : {"orphan", "System", "init"}) {
        const QList<QTreeWidgetItem*> Found = Tree->findItems(Name, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(Found.size(), 1) << Name;
        const QRect Place = Tree->IconRect(Found.first());
        EXPECT_EQ(Place.size(), QSize(16, 16)) << Name;
        const QImage Picture = WindowPicture();
        const QRect Device = InWindow(Tree->viewport(), Place);
        const QRect Ink = InkBox(Picture, Device, Tree->palette().color(QPalette::Base));
        EXPECT_GE(Ink.width(), 15 * Ratio) << Name << ": icon " << Ink.width() << " of " << Device.width() << " pixels";
        EXPECT_GE(Ink.height(), 13 * Ratio) << Name;
    }
}

TEST_F(ScaledWindow, TitleIconFillsItsThirtyTwoPixels) {
    for (const char* Name : {"orphan", "init"}) {
        const QList<QTreeWidgetItem*> Found = Form->TreeView->findItems(Name, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(Found.size(), 1) << Name;
        Form->TreeView->setCurrentItem(Found.first());
        EXPECT_EQ(Form->imgIcon->Picture().deviceIndependentSize(), QSizeF(32, 32)) << Name;
        const QImage Picture = WindowPicture();
        const QRect Device = InWindow(Form->imgIcon, Form->imgIcon->rect());
        const QRect Ink = InkBox(Picture, Device, Form->shpTitle->BrushColor());
        EXPECT_GE(Ink.width(), 31 * Ratio) << Name << ": icon " << Ink.width() << " of " << Device.width() << " pixels";
        EXPECT_GE(Ink.height(), 29 * Ratio) << Name;
    }
}

TEST_F(ScaledWindow, LogoKeepsItsPlaceAndIsSharpAtWholeScales) {
    const QRect Place = Form->imgLogo->PictureRect();
    EXPECT_EQ(Place.size(), QSize(125, 32));
    const QImage Picture = WindowPicture();
    const QRect Device = InWindow(Form->imgLogo, Place);
    const int Scale = static_cast<int>(std::ceil(Ratio));
    if (Scale != Ratio) {
        // Between whole scales the logo is scaled smoothly; it still spans its place.
        const QRect Ink = InkBox(Picture, Device, Picture.pixelColor(Device.center().x(), Device.bottom()));
        EXPECT_GE(Ink.width(), 100 * Ratio);
        return;
    }
    // Every pixel of the lettering lands unchanged: a picture drawn for this scale.
    const TPicture Logo = LogoPicture(Scale);
    int Lettering = 0;
    int Changed = 0;
    for (int Y = 0; Y < Logo.Height; ++Y)
        for (int X = 0; X < Logo.Width; ++X)
            if (Logo.At(X, Y) != kLogoGround) {
                ++Lettering;
                Changed += !IsColor(Picture, Device.left() + X, Device.top() + Y, QColor::fromRgb(Logo.At(X, Y)));
            }
    EXPECT_GT(Lettering, 0);
    EXPECT_EQ(Changed, 0) << "of " << Lettering << " lettering pixels";
}

// A panel's bevel: a line of one of the window's pixels along each side of
// the rectangle Inset pixels inside the panel, TopLeft on the top and left.
void ExpectBevel(const QImage& Picture, const QRect& DeviceLeftTop, const QRect& DeviceRightBottom,
                 const QColor& TopLeft, const QColor& BottomRight, const char* What) {
    auto Has = [&Picture](const QRect& Area, const QColor& Color) {
        for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
            for (int X = Area.left(); X <= Area.right(); ++X)
                if (IsColor(Picture, X, Y, Color))
                    return true;
        return false;
    };
    const int MidX = (DeviceLeftTop.left() + DeviceRightBottom.right()) / 2;
    const int MidY = (DeviceLeftTop.top() + DeviceRightBottom.bottom()) / 2;
    EXPECT_TRUE(Has(QRect(QPoint(DeviceLeftTop.left(), MidY), QPoint(DeviceLeftTop.right(), MidY)), TopLeft))
        << What << ": left";
    EXPECT_TRUE(Has(QRect(QPoint(MidX, DeviceLeftTop.top()), QPoint(MidX, DeviceLeftTop.bottom())), TopLeft))
        << What << ": top";
    EXPECT_TRUE(Has(QRect(QPoint(DeviceRightBottom.left(), MidY), QPoint(DeviceRightBottom.right(), MidY)),
                    BottomRight))
        << What << ": right";
    EXPECT_TRUE(Has(QRect(QPoint(MidX, DeviceRightBottom.top()), QPoint(MidX, DeviceRightBottom.bottom())),
                    BottomRight))
        << What << ": bottom";
}

TEST_F(ScaledWindow, BevelsIntactOnEverySide) {
    const QImage Picture = WindowPicture();
    const QColor Light = Form->palette().color(QPalette::Light);
    const QColor Dark = Form->palette().color(QPalette::Dark);
    struct TBevelLine {
        TPanel* Panel;
        int Inset;
        bool Raised;
        const char* What;
    };
    const std::vector<TBevelLine> Lines = {
        {Form->pnlMain, 4, false, "pnlMain inner"},   {Form->pnlDetails, 4, false, "pnlDetails inner"},
        {Form->pnlTitle, 0, true, "pnlTitle outer"},  {Form->pnlHint, 0, true, "pnlHint outer"},
        {Form->pnlHint, 6, false, "pnlHint inner"},
    };
    for (const TBevelLine& Line : Lines) {
        const QRect R = Line.Panel->rect().adjusted(Line.Inset, Line.Inset, -Line.Inset, -Line.Inset);
        // The device pixels of the left and top line, and of the right and bottom one.
        const QRect LeftTop = InWindow(Line.Panel, QRect(R.topLeft(), QSize(1, 1)));
        const QRect RightBottom = InWindow(Line.Panel, QRect(R.bottomRight(), QSize(1, 1)));
        ExpectBevel(Picture, LeftTop, RightBottom, Line.Raised ? Light : Dark, Line.Raised ? Dark : Light, Line.What);
    }
}

}  // namespace
}  // namespace quorvane
