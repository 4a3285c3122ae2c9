// Build tool: writes the program's icon into a hicolor icon theme folder,
// OUTDIR/<N>x<N>/apps/quorvane.png for every size N given, so that the
// installed icons are drawn by the same code as the window's own icon.
#include <QDir>
#include <QImage>
#include <cstdio>
#include <string>

#include "ui/qt/Pictures.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    const QDir Out(QString::fromLocal8Bit(argv[1]));
    for (int I = 2; I < argc; ++I) {
        bool Number = false;
        const int Size = QString::fromLatin1(argv[I]).toInt(&Number);
        if (!Number || Size < 1 || Size > 1024) {
            std::fprintf(stderr, "%s: not a size from 1 to 1024: %s\n", argv[0], argv[I]);
            return 2;
        }
        const QString Folder = QStringLiteral("%1x%1/apps").arg(Size);
        const QString File = Out.filePath(Folder + QStringLiteral("/quorvane.png"));
        if (!Out.mkpath(Folder) || !quorvane::QtImage(quorvane::ProgramIconPicture(Size)).save(File, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], File.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
