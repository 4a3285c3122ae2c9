#include "ui/qt/Pictures.h"

#include <QFont>
#include <QPainter>
#include <cmath>

namespace quorvane {
namespace {

const QColor kMidGray(128, 128, 128);
const QColor kSilver(192, 192, 192);
const QColor kBlack(0, 0, 0);
const QColor kTitleBlue(0, 0, 191);

QImage Transparent(int Size) {
    QImage Image(Size, Size, QImage::Format_ARGB32);
    Image.fill(Qt::transparent);
    return Image;
}

void Frame(QImage& Image, const QRect& R, const QColor& Color) {
    for (int X = R.left(); X <= R.right(); ++X) {
        Image.setPixelColor(X, R.top(), Color);
        Image.setPixelColor(X, R.bottom(), Color);
    }
    for (int Y = R.top(); Y <= R.bottom(); ++Y) {
        Image.setPixelColor(R.left(), Y, Color);
        Image.setPixelColor(R.right(), Y, Color);
    }
}

void Fill(QImage& Image, const QRect& R, const QColor& Color) {
    for (int Y = R.top(); Y <= R.bottom(); ++Y)
        for (int X = R.left(); X <= R.right(); ++X)
            Image.setPixelColor(X, Y, Color);
}

// A one-pixel shadow along the right and bottom edges of R, offset by one.
void Shadow(QImage& Image, const QRect& R, const QColor& Color, int Offset) {
    for (int Y = R.top() + Offset; Y <= R.bottom() + Offset; ++Y)
        Image.setPixelColor(R.right() + Offset, Y, Color);
    for (int X = R.left() + Offset; X <= R.right() + Offset; ++X)
        Image.setPixelColor(X, R.bottom() + Offset, Color);
}

}  // namespace

QImage GenericWindowPicture(int Size) {
    QImage Image = Transparent(Size);
    const int Scale = Size / 16;
    // The window, leaving one column and row for the shadow.
    const QRect Window(0, Scale, Size - 1, Size - 1 - Scale);
    Frame(Image, Window, kMidGray);
    Frame(Image, Window.adjusted(1, 1, -1, -1), kSilver);
    if (Scale > 1)
        Frame(Image, Window.adjusted(2, 2, -2, -2), kSilver);
    Shadow(Image, Window, kBlack, 1);
    const int Border = Scale > 1 ? 3 : 2;
    const QRect Title(Window.left() + Border, Window.top() + Border, Window.width() - 2 * Border,
                      3 * Scale + (Scale > 1 ? 1 : 0));
    Fill(Image, Title, kTitleBlue);
    // Three caption-button squares at the title bar's right end.
    const int Button = Title.height() - 2;
    for (int I = 0; I < 3; ++I) {
        const int Right = Title.right() - 1 - I * (Button + 1);
        Fill(Image, QRect(Right - Button + 1, Title.top() + 1, Button, Button), kSilver);
    }
    // Below the title bar a silver line; the client area stays transparent.
    for (int X = Title.left(); X <= Title.right(); ++X)
        Image.setPixelColor(X, Title.bottom() + 1, kSilver);
    return Image;
}

QImage KernelFlagPicture(int Size) {
    QImage Image = Transparent(Size);
    const QRect Outline(0, 0, Size - 3, Size - 3);
    Frame(Image, Outline, kMidGray);
    Shadow(Image, Outline, kBlack, 1);
    Shadow(Image, Outline, kSilver, 2);
    // The flag: two by two panes, each column shifted by a wave.
    const QColor Panes[4] = {QColor(240, 72, 24), QColor(48, 168, 48), QColor(32, 96, 232), QColor(248, 200, 0)};
    const QRect Area = Outline.adjusted(2, 2, -2, -2);
    const int Amplitude = std::max(1, Size / 16);
    const int HalfWidth = (Area.width() - 1) / 2;
    const int PaneHeight = (Area.height() - 2 * Amplitude - 1) / 2;
    for (int X = Area.left(); X <= Area.right(); ++X) {
        const int Column = X - Area.left();
        if (Column == HalfWidth)
            continue;  // the gap between the left and right panes
        const bool Right = Column > HalfWidth;
        const double Phase = 3.14159265358979 * Column / Area.width();
        const int Shift = static_cast<int>(std::lround(Amplitude * (1.0 - std::sin(Phase))));
        const int Top = Area.top() + Shift;
        for (int Row = 0; Row < 2 * PaneHeight + 1; ++Row) {
            if (Row == PaneHeight)
                continue;  // the gap between the upper and lower panes
            const bool Lower = Row > PaneHeight;
            const int Y = Top + Row;
            if (Y <= Area.bottom())
                Image.setPixelColor(X, Y, Panes[(Lower ? 2 : 0) + (Right ? 1 : 0)]);
        }
    }
    return Image;
}

QImage LogoPicture() {
    QImage Image(125, 32, QImage::Format_RGB888);
    Image.fill(kMidGray);
    QPainter Painter(&Image);
    QFont Font(QStringLiteral("DejaVu Sans"));
    Font.setStyleHint(QFont::SansSerif);
    Font.setPixelSize(21);
    Font.setBold(true);
    Font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    // Hard edges: a smoothed edge would leave gray fringes that are not the ground colour.
    Font.setStyleStrategy(QFont::NoAntialias);
    Painter.setFont(Font);
    // A darker shadow under light lettering.
    Painter.setPen(QColor(96, 96, 96));
    Painter.drawText(QRect(1, 1, 125, 32), Qt::AlignCenter, QStringLiteral("Quorvane"));
    Painter.setPen(QColor(220, 220, 220));
    Painter.drawText(QRect(0, 0, 125, 32), Qt::AlignCenter, QStringLiteral("Quorvane"));
    return Image;
}

}  // namespace quorvane
