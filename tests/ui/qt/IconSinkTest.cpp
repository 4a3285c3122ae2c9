#include "ui/qt/IconSink.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include "ui/qt/QtTestApp.h"

namespace quorvane {
namespace {

class IconSinkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::TestApp(); }

    void SetUp() override { ASSERT_TRUE(Folder.isValid()); }

    // A one-colour PNG and a desktop entry naming it.
    QString Picture(const QString& Name, const QColor& Color) {
        QImage Image(32, 32, QImage::Format_ARGB32);
        Image.fill(Color);
        const QString Path = Folder.filePath(Name + ".png");
        EXPECT_TRUE(Image.save(Path));
        return Path;
    }
    void Entry(const QString& Name, const QString& Lines) {
        QFile File(Folder.filePath(Name + ".desktop"));
        ASSERT_TRUE(File.open(QIODevice::WriteOnly));
        File.write(Lines.toUtf8());
    }
    static QColor CentreOf(const QIcon& Icon) { return Icon.pixmap(16).toImage().pixelColor(8, 8); }

    QTemporaryDir Folder;
    TImageList Small{"ImageList", 16, 16};
    TImageList Large{"ImageListLarge", 32, 32};
};

TEST_F(IconSinkTest, DesktopEntryByExecPathByNameAndByTryExec) {
    Entry("tool", "[Desktop Entry]\nName=Tool\nExec=/opt/tool/bin/tool --open %F\nIcon=" +
                      Picture("red", Qt::red) + "\n[Desktop Action New]\nExec=/opt/other\nIcon=x\n");
    Entry("editor", "[Desktop Entry]\nExec=env LANG=C \"editor\" %U\nIcon=" + Picture("green", Qt::green) + "\n");
    Entry("viewer", "[Desktop Entry]\nTryExec=viewer\nExec=sh -c viewer\nIcon=" + Picture("blue", Qt::blue) + "\n");
    TQtIconSink Sink(Small, Large, {Folder.path()});
    EXPECT_EQ(CentreOf(Sink.IconOf("/opt/tool/bin/tool")), QColor(Qt::red));
    EXPECT_EQ(CentreOf(Sink.IconOf("/usr/bin/editor")), QColor(Qt::green));
    EXPECT_EQ(CentreOf(Sink.IconOf("/usr/local/bin/viewer")), QColor(Qt::blue));
    const QColor Generic = CentreOf(Sink.IconOf("/opt/other"));
    EXPECT_NE(Generic, QColor(Qt::red)) << "an action's Exec names no executable of the entry";
    EXPECT_FALSE(Sink.IconOf("/opt/unknown").isNull()) << "the generic executable icon";
}

TEST_F(IconSinkTest, OwnIconOfAWindowsExecutableComesFirst) {
    Entry("app", "[Desktop Entry]\nExec=app.exe\nIcon=" + Picture("red", Qt::red) + "\n");
    QImage Ico(32, 32, QImage::Format_ARGB32);
    Ico.fill(Qt::yellow);
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(Ico.save(&Buffer, "ICO"));
    TQtIconSink Sink(Small, Large, {Folder.path()});
    std::vector<std::string> Asked;
    Sink.SetPeIconReader([&](const std::string& Path) -> std::optional<std::string> {
        Asked.push_back(Path);
        if (Path == "/win/app.exe")
            return Bytes.toStdString();
        if (Path == "/win/broken.exe")
            return std::string("\0\0\1\0\1\0garbage", 13);
        return std::nullopt;
    });
    EXPECT_EQ(CentreOf(Sink.IconOf("/win/app.exe")), QColor(Qt::yellow));
    EXPECT_FALSE(Sink.IconOf("/win/broken.exe").isNull()) << "unreadable icon bytes: the next source";
    EXPECT_EQ(CentreOf(Sink.IconOf("/other/app.exe")), QColor(Qt::red));
    EXPECT_EQ(Asked.size(), 3u);
}

TEST_F(IconSinkTest, BothListsGrowTogether) {
    TQtIconSink Sink(Small, Large, {Folder.path()});
    Small.AddImage(QImage());
    Large.AddImage(QImage());
    EXPECT_EQ(Sink.AddProcessIcon("/bin/a"), 1);
    EXPECT_EQ(Sink.AddProcessIcon("/bin/a"), 2);
    EXPECT_EQ(Small.Count(), 3);
    EXPECT_EQ(Large.Count(), 3);
    EXPECT_EQ(Large.Image(2).size(), QSize(32, 32));
    Small.Trim(1);
    EXPECT_EQ(Small.Count(), 1);
    EXPECT_TRUE(Small.Image(1).isNull());
}

// An icon added again is drawn once; its entries must still be what drawing it
// for each would give, at each list's size, and a trim must not keep the
// drawings of icons that were never added since.
TEST_F(IconSinkTest, AnIconAddedAgainGivesTheSamePictureInAnEntryOfItsOwn) {
    QIcon Red(Picture("red", Qt::red));
    QIcon Blue(Picture("blue", Qt::blue));
    EXPECT_EQ(Small.Add(Red), 0);
    EXPECT_EQ(Small.Add(Blue), 1);
    EXPECT_EQ(Small.Add(Red), 2);
    EXPECT_EQ(Large.Add(Red), 0);
    EXPECT_EQ(Small.Count(), 3);
    TImageList Fresh{"Fresh", 16, 16};
    Fresh.Add(Red);
    EXPECT_EQ(Small.Image(2).toImage(), Fresh.Image(0).toImage());
    EXPECT_EQ(Small.Image(2).toImage(), Small.Image(0).toImage());
    EXPECT_NE(Small.Image(1).toImage(), Small.Image(0).toImage());
    EXPECT_EQ(Large.Image(0).size(), QSize(32, 32));
    EXPECT_EQ(Large.Image(0).toImage().pixelColor(16, 16), QColor(Qt::red));

    // After a trim the lists hold only what is added anew.
    Small.Trim(1);
    EXPECT_EQ(Small.Add(Blue), 1);
    EXPECT_EQ(Small.Count(), 2);
    EXPECT_EQ(Small.Image(1).toImage().pixelColor(8, 8), QColor(Qt::blue));
    EXPECT_TRUE(Small.Image(2).isNull());
    EXPECT_EQ(Small.Add(QIcon()), 2);  // no icon: an empty picture
    EXPECT_EQ(Small.Image(2).toImage().pixelColor(8, 8).alpha(), 0);
}

}  // namespace
}  // namespace quorvane
