// The window program on Linux: the Qt main window over the system back-ends.
//
// The program reads no command line and no settings. One environment variable
// exists for scripts/run.sh and scripts/screenshot.sh only, on machines without
// a display: QUORVANE_SNAPSHOT=<file.png> saves a picture of the window once
// its first reload is done and ends the program (without closing the window,
// so no exit page is opened). With QUORVANE_SNAPSHOT_PROCESS=<name> the
// picture shows that process selected and the help of its "Virengefahr" row.
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "probes/Probes.h"
#include "resources/StringTable.h"
#include "ui/qt/MainFrm.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/Translations.h"
#include "versioninfo/VersionApi.h"
#include "versioninfo/linux/PeVersionResource.h"

namespace {

constexpr int kExitNoDisplay = 1;

// Messages while the application object starts. Qt ends the program with
// abort() and a screenful of text when no platform plugin can start, which
// means there is no display: that becomes one line and an exit code. Every
// other message is kept and shown once the start has succeeded.
QStringList StartMessages;

void StartMessageHandler(QtMsgType Type, const QMessageLogContext& Context, const QString& Message) {
    if (Type == QtFatalMsg) {
        // Qt's first complaint names the cause, e.g. "could not connect to display :1".
        const QString Cause = StartMessages.isEmpty() ? Message : StartMessages.first();
        std::fprintf(stderr, "quorvane: %s (Qt: %s)\n", quorvane::LoadStr(quorvane::TStringId::sNoDisplay).c_str(),
                     Cause.simplified().toLocal8Bit().constData());
        std::_Exit(kExitNoDisplay);
    }
    StartMessages << qFormatLogMessage(Type, Context, Message);
}

void ShowStartMessages() {
    for (const QString& Message : StartMessages)
        std::fprintf(stderr, "%s\n", Message.toLocal8Bit().constData());
    StartMessages.clear();
}

// The program's own icon, drawn for the usual sizes.
QIcon ProgramIcon() {
    QIcon Icon;
    for (int Size : {16, 24, 32, 48, 64, 128, 256})
        Icon.addPixmap(QPixmap::fromImage(quorvane::QtImage(quorvane::ProgramIconPicture(Size))));
    return Icon;
}

// The first icon group of a Windows executable, read with bounds checks by the
// version back-end's PE reader.
std::optional<std::string> PeIcon(const std::string& Path) {
    QFile File(QString::fromStdString(Path));
    if (!File.open(QIODevice::ReadOnly))
        return std::nullopt;
    char Magic[2];
    if (File.read(Magic, 2) != 2 || Magic[0] != 'M' || Magic[1] != 'Z')
        return std::nullopt;
    const quorvane::TReadAt ReadAt = [&File](std::uint64_t Offset, void* Buffer, std::size_t Count) {
        return File.seek(static_cast<qint64>(Offset)) &&
               File.read(static_cast<char*>(Buffer), static_cast<qint64>(Count)) == static_cast<qint64>(Count);
    };
    const std::vector<std::uint8_t> Ico = quorvane::ReadPeIconFile(ReadAt, static_cast<std::uint64_t>(File.size()));
    if (Ico.empty())
        return std::nullopt;
    return std::string(Ico.begin(), Ico.end());
}

void Snapshot(quorvane::TFrmMain& Form, const QString& FileName, const QString& ProcessName) {
    if (!ProcessName.isEmpty()) {
        const QList<QTreeWidgetItem*> Found =
            Form.TreeView->findItems(ProcessName, Qt::MatchExactly | Qt::MatchRecursive);
        if (!Found.isEmpty()) {
            Form.activateWindow();
            Form.TreeView->setFocus();
            Form.TreeView->setCurrentItem(Found.last());
            Form.TreeView->scrollToItem(Found.last());
            Form.StringGridSelectCell(0, 14);
            QCoreApplication::processEvents();
        }
    }
    const bool Saved = Form.grab().save(FileName);
    std::fprintf(Saved ? stdout : stderr, Saved ? "Picture saved: %s\n" : "Picture not saved: %s\n",
                 FileName.toLocal8Bit().constData());
    QCoreApplication::exit(Saved ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
    const QtMessageHandler DefaultHandler = qInstallMessageHandler(StartMessageHandler);
    QApplication App(argc, argv);
    qInstallMessageHandler(DefaultHandler);
    ShowStartMessages();
    App.setApplicationName(QString::fromStdString(quorvane::LoadStr(quorvane::TStringId::sAppTitle)));
    App.setWindowIcon(ProgramIcon());
    // The desktop entry that starts this program (its icon on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
    // Qt's own dialogs and menus in the user's language.
    const std::unique_ptr<QTranslator> QtTexts = quorvane::LoadQtTranslation(QLocale::system());
    if (QtTexts)
        QCoreApplication::installTranslator(QtTexts.get());
    // Outside a desktop session Qt knows no icon theme; Debian's default one then.
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    const std::unique_ptr<quorvane::IProcessSource> Source = quorvane::CreateSystemProcessSource();
    const std::unique_ptr<quorvane::IVersionApi> VersionApi = quorvane::CreateSystemVersionApi();
    quorvane::TFrmMainServices Services;
    Services.PeIconReader = PeIcon;
    quorvane::TFrmMain Form(*Source, *VersionApi, Services);
    Form.show();
    const QString SnapshotFile = qEnvironmentVariable("QUORVANE_SNAPSHOT");
    if (!SnapshotFile.isEmpty()) {
        const QString ProcessName = qEnvironmentVariable("QUORVANE_SNAPSHOT_PROCESS");
        QTimer::singleShot(300, &Form, [&Form, SnapshotFile, ProcessName] { Snapshot(Form, SnapshotFile, ProcessName); });
    }
    return App.exec();
}
