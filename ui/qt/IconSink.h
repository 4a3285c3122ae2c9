// The process icons of the Linux window: a Windows executable's own icon, else
// the themed icon of the desktop entry that starts the executable, else the
// theme's generic executable icon.
#pragma once

#include <QIcon>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "catalogue/ProcessSource.h"
#include "ui/qt/Controls.h"

namespace quorvane {

// The first icon group of a PE file as the bytes of an .ico file; nothing for
// any other file or a file without icons.
using TPeIconReader = std::function<std::optional<std::string>(const std::string& FilePath)>;

class TQtIconSink : public IIconSink {
public:
    // ApplicationDirs: the folders of the desktop entries (the user's and the
    // system's "applications" folders when empty).
    TQtIconSink(TImageList& Small, TImageList& Large, QStringList ApplicationDirs = {});

    void SetPeIconReader(TPeIconReader Reader) { FPeIconReader = std::move(Reader); }

    // Adds the file's icon to both lists, small first; answers the small list's index.
    int AddProcessIcon(const std::string& FilePath) override;

    // The icon that AddProcessIcon adds for a file.
    QIcon IconOf(const std::string& FilePath);

private:
    void IndexDesktopEntries();
    std::optional<QIcon> DesktopEntryIcon(const QString& FilePath);

    TImageList& FSmall;
    TImageList& FLarge;
    QStringList FApplicationDirs;
    TPeIconReader FPeIconReader;
    bool FIndexed = false;
    // Icon names of the desktop entries, by executable path and by bare name.
    std::map<QString, QString> FIconByPath;
    std::map<QString, QString> FIconByName;
    std::map<std::string, QIcon> FCache;
};

}  // namespace quorvane
