#include "ui/qt/IconSink.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStandardPaths>
#include <QTextStream>

#include "ui/qt/Pictures.h"

namespace quorvane {
namespace {

// The program named by an Exec line: the first word that is no "env" and no
// VAR=value assignment, with its quotes removed.
QString ExecProgram(const QString& Exec) {
    QStringList Words;
    QString Word;
    bool Quoted = false;
    for (int I = 0; I < Exec.size(); ++I) {
        const QChar C = Exec[I];
        if (C == '"') {
            Quoted = !Quoted;
        } else if (C == '\\' && Quoted && I + 1 < Exec.size()) {
            Word += Exec[++I];
        } else if (C.isSpace() && !Quoted) {
            if (!Word.isEmpty())
                Words << Word;
            Word.clear();
        } else {
            Word += C;
        }
    }
    if (!Word.isEmpty())
        Words << Word;
    bool AfterEnv = false;
    for (const QString& W : Words) {
        if (W == QLatin1String("env") && !AfterEnv) {
            AfterEnv = true;
            continue;
        }
        if (AfterEnv && (W.contains('=') || W.startsWith('-')))
            continue;
        return W;
    }
    return {};
}

QIcon IconFromIco(const std::string& Bytes) {
    QByteArray Data(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
    QBuffer Buffer(&Data);
    Buffer.open(QIODevice::ReadOnly);
    QImageReader Reader(&Buffer, "ico");
    QIcon Icon;
    for (int I = 0; I < std::max(1, Reader.imageCount()); ++I) {
        const QImage Image = Reader.read();
        if (Image.isNull())
            break;
        Icon.addPixmap(QPixmap::fromImage(Image));
        if (!Reader.jumpToNextImage())
            break;
    }
    return Icon;
}

QIcon NamedIcon(const QString& Name) {
    if (QDir::isAbsolutePath(Name))
        return QFileInfo::exists(Name) ? QIcon(Name) : QIcon();
    return QIcon::fromTheme(Name);
}

}  // namespace

TQtIconSink::TQtIconSink(TImageList& Small, TImageList& Large, QStringList ApplicationDirs)
    : FSmall(Small), FLarge(Large), FApplicationDirs(std::move(ApplicationDirs)) {
    if (FApplicationDirs.isEmpty())
        FApplicationDirs = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
}

void TQtIconSink::IndexDesktopEntries() {
    FIndexed = true;
    // Earlier folders take precedence, as with desktop entries of the same name.
    for (auto Dir = FApplicationDirs.crbegin(); Dir != FApplicationDirs.crend(); ++Dir) {
        QDir Folder(*Dir);
        const QStringList Files = Folder.entryList({QStringLiteral("*.desktop")}, QDir::Files | QDir::Readable);
        for (const QString& Name : Files) {
            QFile File(Folder.filePath(Name));
            if (File.size() > 1 << 20 || !File.open(QIODevice::ReadOnly | QIODevice::Text))
                continue;
            QTextStream In(&File);
            bool InEntry = false;
            QString Icon;
            QStringList Programs;
            while (!In.atEnd()) {
                const QString Line = In.readLine().trimmed();
                if (Line.startsWith('[')) {
                    InEntry = Line == QLatin1String("[Desktop Entry]");
                    continue;
                }
                if (!InEntry)
                    continue;
                const int Equals = Line.indexOf('=');
                if (Equals <= 0)
                    continue;
                const QString Key = Line.left(Equals).trimmed();
                const QString Value = Line.mid(Equals + 1).trimmed();
                if (Key == QLatin1String("Icon"))
                    Icon = Value;
                else if (Key == QLatin1String("Exec"))
                    Programs << ExecProgram(Value);
                else if (Key == QLatin1String("TryExec"))
                    Programs << Value;
            }
            if (Icon.isEmpty())
                continue;
            for (const QString& Program : Programs) {
                if (Program.isEmpty())
                    continue;
                if (Program.contains('/')) {
                    FIconByPath[Program] = Icon;
                    const QString Canonical = QFileInfo(Program).canonicalFilePath();
                    if (!Canonical.isEmpty())
                        FIconByPath[Canonical] = Icon;
                } else {
                    FIconByName[Program] = Icon;
                }
            }
        }
    }
}

std::optional<QIcon> TQtIconSink::DesktopEntryIcon(const QString& FilePath) {
    if (!FIndexed)
        IndexDesktopEntries();
    const QString Canonical = QFileInfo(FilePath).canonicalFilePath();
    for (const QString& Key : {FilePath, Canonical}) {
        const auto Found = FIconByPath.find(Key);
        if (!Key.isEmpty() && Found != FIconByPath.end())
            if (QIcon Icon = NamedIcon(Found->second); !Icon.isNull())
                return Icon;
    }
    const auto Found = FIconByName.find(QFileInfo(FilePath).fileName());
    if (Found != FIconByName.end())
        if (QIcon Icon = NamedIcon(Found->second); !Icon.isNull())
            return Icon;
    return std::nullopt;
}

QIcon TQtIconSink::IconOf(const std::string& FilePath) {
    const auto Cached = FCache.find(FilePath);
    if (Cached != FCache.end())
        return Cached->second;
    QIcon Icon;
    if (FPeIconReader)
        if (const std::optional<std::string> Ico = FPeIconReader(FilePath))
            Icon = IconFromIco(*Ico);
    if (Icon.isNull())
        Icon = DesktopEntryIcon(QString::fromStdString(FilePath)).value_or(QIcon());
    if (Icon.isNull())
        Icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    if (Icon.isNull()) {
        // No icon theme at all: the window's own generic image.
        Icon.addPixmap(QPixmap::fromImage(QtImage(GenericWindowPicture(16))));
        Icon.addPixmap(QPixmap::fromImage(QtImage(GenericWindowPicture(32))));
    }
    FCache.emplace(FilePath, Icon);
    return Icon;
}

int TQtIconSink::AddProcessIcon(const std::string& FilePath) {
    const QIcon Icon = IconOf(FilePath);
    const int Index = FSmall.Add(Icon);
    FLarge.Add(Icon);
    return Index;
}

}  // namespace quorvane
