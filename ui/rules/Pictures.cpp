#include "ui/rules/Pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace quorvane {

TPicture::TPicture(int W, int H, std::uint32_t Fill)
    : Width(W), Height(H), Pixels(static_cast<std::size_t>(W) * H, Fill) {}

void TPicture::Set(int X, int Y, std::uint32_t Color) {
    if (X >= 0 && Y >= 0 && X < Width && Y < Height)
        Pixels[static_cast<std::size_t>(Y) * Width + X] = Color;
}

namespace {

constexpr std::uint32_t kMidGray = OpaquePixel(128, 128, 128);
constexpr std::uint32_t kSilver = OpaquePixel(192, 192, 192);
constexpr std::uint32_t kBlack = OpaquePixel(0, 0, 0);
constexpr std::uint32_t kTitleBlue = OpaquePixel(0, 0, 191);

// Inclusive edges, as the motifs are drawn pixel by pixel.
struct TRect {
    int Left, Top, Right, Bottom;
    int Width() const { return Right - Left + 1; }
    int Height() const { return Bottom - Top + 1; }
    TRect Inset(int By) const { return {Left + By, Top + By, Right - By, Bottom - By}; }
};

TRect RectOfSize(int Left, int Top, int Width, int Height) {
    return {Left, Top, Left + Width - 1, Top + Height - 1};
}

void Frame(TPicture& Picture, const TRect& R, std::uint32_t Color) {
    for (int X = R.Left; X <= R.Right; ++X) {
        Picture.Set(X, R.Top, Color);
        Picture.Set(X, R.Bottom, Color);
    }
    for (int Y = R.Top; Y <= R.Bottom; ++Y) {
        Picture.Set(R.Left, Y, Color);
        Picture.Set(R.Right, Y, Color);
    }
}

void Fill(TPicture& Picture, const TRect& R, std::uint32_t Color) {
    for (int Y = R.Top; Y <= R.Bottom; ++Y)
        for (int X = R.Left; X <= R.Right; ++X)
            Picture.Set(X, Y, Color);
}

// A one-pixel shadow along the right and bottom edges of R, Offset pixels away.
void Shadow(TPicture& Picture, const TRect& R, std::uint32_t Color, int Offset) {
    for (int Y = R.Top + Offset; Y <= R.Bottom + Offset; ++Y)
        Picture.Set(R.Right + Offset, Y, Color);
    for (int X = R.Left + Offset; X <= R.Right + Offset; ++X)
        Picture.Set(X, R.Bottom + Offset, Color);
}

// The logo's lettering, one glyph per letter of "Quorvane", '#' for ink.
// Every glyph is 17 rows high: capitals from row 0, lower case from row 4,
// the baseline under row 14, the tail of the Q below it.
struct TGlyph {
    std::array<std::string_view, 17> Rows;
};

constexpr TGlyph kGlyphQ{{
    ".....#####.....", "...#########...", "..####...####..", ".###.......###.", "####.......####",
    "###.........###", "###.........###", "###.........###", "###.........###", "###.........###",
    "####...###.####", ".###....######.", "..####...####..", "...##########..", ".....#########.",
    "...........####", "............##.",
}};
constexpr TGlyph kGlyphU{{
    "", "", "", "", "###.....###", "###.....###", "###.....###", "###.....###", "###.....###",
    "###.....###", "###.....###", "###.....###", "####...####", ".##########", "..#####.###", "", "",
}};
constexpr TGlyph kGlyphO{{
    "", "", "", "", "..#######..", ".#########.", "####...####", "###.....###", "###.....###",
    "###.....###", "###.....###", "###.....###", "####...####", ".#########.", "..#######..", "", "",
}};
constexpr TGlyph kGlyphR{{
    "", "", "", "", "###.#####", "#########", "#####....", "####.....", "###......", "###......",
    "###......", "###......", "###......", "###......", "###......", "", "",
}};
constexpr TGlyph kGlyphV{{
    "", "", "", "", "###.....###", "###.....###", "####...####", ".###...###.", ".###...###.",
    ".####.####.", "..###.###..", "..#######..", "...#####...", "...#####...", "....###....", "", "",
}};
constexpr TGlyph kGlyphA{{
    "", "", "", "", ".#######..", ".########.", ".......###", ".......###", "..########", ".#########",
    "####...###", "###....###", "###...####", "##########", ".#####.###", "", "",
}};
constexpr TGlyph kGlyphN{{
    "", "", "", "", "###.#####..", "##########.", "####...####", "###.....###", "###.....###",
    "###.....###", "###.....###", "###.....###", "###.....###", "###.....###", "###.....###", "", "",
}};
constexpr TGlyph kGlyphE{{
    "", "", "", "", "..#######..", ".#########.", "####...####", "###.....###", "###########",
    "###########", "###........", "####.......", ".####...###", ".##########", "...######..", "", "",
}};

constexpr std::array<const TGlyph*, 8> kLettering{&kGlyphQ, &kGlyphU, &kGlyphO, &kGlyphR,
                                                   &kGlyphV, &kGlyphA, &kGlyphN, &kGlyphE};
constexpr int kGlyphGap = 2;
constexpr int kGlyphRows = 17;

int GlyphWidth(const TGlyph& Glyph) {
    std::size_t Width = 0;
    for (std::string_view Row : Glyph.Rows)
        Width = std::max(Width, Row.size());
    return static_cast<int>(Width);
}

// Draws the lettering with its top-left at (Left, Top) in Scale x Scale blocks.
void DrawLettering(TPicture& Picture, int Left, int Top, int Scale, std::uint32_t Color) {
    int X0 = Left;
    for (const TGlyph* Glyph : kLettering) {
        for (int Row = 0; Row < kGlyphRows; ++Row) {
            const std::string_view Ink = Glyph->Rows[Row];
            for (int Col = 0; Col < static_cast<int>(Ink.size()); ++Col)
                if (Ink[Col] == '#')
                    Fill(Picture, RectOfSize(X0 + Col * Scale, Top + Row * Scale, Scale, Scale), Color);
        }
        X0 += (GlyphWidth(*Glyph) + kGlyphGap) * Scale;
    }
}

}  // namespace

TPicture GenericWindowPicture(int Size) {
    TPicture Picture(Size, Size, kTransparentPixel);
    const int Scale = std::max(1, Size / 16);
    // The window, leaving one column and row for the shadow.
    const TRect Window = RectOfSize(0, Scale, Size - 1, Size - 1 - Scale);
    Frame(Picture, Window, kMidGray);
    Frame(Picture, Window.Inset(1), kSilver);
    if (Scale > 1)
        Frame(Picture, Window.Inset(2), kSilver);
    Shadow(Picture, Window, kBlack, 1);
    const int Border = Scale > 1 ? 3 : 2;
    const TRect Title = RectOfSize(Window.Left + Border, Window.Top + Border, Window.Width() - 2 * Border,
                                   3 * Scale + (Scale > 1 ? 1 : 0));
    Fill(Picture, Title, kTitleBlue);
    // Three caption-button squares at the title bar's right end.
    const int Button = Title.Height() - 2;
    for (int I = 0; I < 3; ++I) {
        const int Right = Title.Right - 1 - I * (Button + 1);
        Fill(Picture, RectOfSize(Right - Button + 1, Title.Top + 1, Button, Button), kSilver);
    }
    // Below the title bar a silver line; the client area stays transparent.
    for (int X = Title.Left; X <= Title.Right; ++X)
        Picture.Set(X, Title.Bottom + 1, kSilver);
    return Picture;
}

TPicture KernelFlagPicture(int Size) {
    TPicture Picture(Size, Size, kTransparentPixel);
    const TRect Outline = RectOfSize(0, 0, Size - 3, Size - 3);
    Frame(Picture, Outline, kMidGray);
    Shadow(Picture, Outline, kBlack, 1);
    Shadow(Picture, Outline, kSilver, 2);
    // The flag: two by two panes, each column shifted by a wave.
    constexpr std::uint32_t Panes[4] = {OpaquePixel(240, 72, 24), OpaquePixel(48, 168, 48),
                                        OpaquePixel(32, 96, 232), OpaquePixel(248, 200, 0)};
    const TRect Area = Outline.Inset(2);
    const int Amplitude = std::max(1, Size / 16);
    const int HalfWidth = (Area.Width() - 1) / 2;
    const int PaneHeight = (Area.Height() - 2 * Amplitude - 1) / 2;
    for (int X = Area.Left; X <= Area.Right; ++X) {
        const int Column = X - Area.Left;
        if (Column == HalfWidth)
            continue;  // the gap between the left and right panes
        const bool Right = Column > HalfWidth;
        const double Phase = 3.14159265358979 * Column / Area.Width();
        const int Shift = static_cast<int>(std::lround(Amplitude * (1.0 - std::sin(Phase))));
        const int Top = Area.Top + Shift;
        for (int Row = 0; Row < 2 * PaneHeight + 1; ++Row) {
            if (Row == PaneHeight)
                continue;  // the gap between the upper and lower panes
            const bool Lower = Row > PaneHeight;
            const int Y = Top + Row;
            if (Y <= Area.Bottom)
                Picture.Set(X, Y, Panes[(Lower ? 2 : 0) + (Right ? 1 : 0)]);
        }
    }
    return Picture;
}

TPicture ProgramIconPicture(int Size) {
    // Drawn on a 16 x 16 grid of cells that is scaled to Size.
    struct TCells {
        int Left, Top, Right, Bottom;  // inclusive
        std::uint32_t Color;
    };
    constexpr std::uint32_t kNavy = OpaquePixel(0, 0, 128);
    constexpr std::uint32_t kLine = OpaquePixel(255, 255, 255);
    constexpr TCells Shapes[] = {
        {2, 5, 3, 13, kLine},                            // the trunk
        {4, 7, 5, 8, kLine},     {4, 12, 8, 13, kLine},  // branches
        {1, 1, 4, 4, OpaquePixel(0, 160, 0)},            // the root, rated harmless
        {6, 6, 9, 9, OpaquePixel(240, 208, 0)},          // a child of medium danger
        {9, 11, 12, 14, OpaquePixel(240, 0, 0)},         // and a potentially dangerous one
    };
    TPicture Picture(Size, Size, kTransparentPixel);
    const double Cell = Size / 16.0;
    const auto Edge = [Cell](int GridLine) { return static_cast<int>(std::lround(GridLine * Cell)); };
    // The rounded square: corners of radius 2.5 cells cut away.
    const double Radius = 2.5;
    for (int Y = 0; Y < Size; ++Y)
        for (int X = 0; X < Size; ++X) {
            const double GX = (X + 0.5) / Cell, GY = (Y + 0.5) / Cell;
            const double DX = std::max({Radius - GX, GX - (16 - Radius), 0.0});
            const double DY = std::max({Radius - GY, GY - (16 - Radius), 0.0});
            if (DX * DX + DY * DY <= Radius * Radius)
                Picture.Set(X, Y, kNavy);
        }
    for (const TCells& Shape : Shapes)
        for (int Y = Edge(Shape.Top); Y < Edge(Shape.Bottom + 1); ++Y)
            for (int X = Edge(Shape.Left); X < Edge(Shape.Right + 1); ++X)
                Picture.Set(X, Y, Shape.Color);
    return Picture;
}

TPicture LogoPicture(int Scale) {
    Scale = std::max(1, Scale);
    TPicture Picture(kLogoWidth * Scale, kLogoHeight * Scale, kLogoGround);
    int Width = -kGlyphGap;
    for (const TGlyph* Glyph : kLettering)
        Width += GlyphWidth(*Glyph) + kGlyphGap;
    // Centred, the shadow one pixel right of and below the lettering included.
    const int Left = (kLogoWidth - Width - 1) / 2 * Scale;
    const int Top = (kLogoHeight - kGlyphRows - 1) / 2 * Scale;
    DrawLettering(Picture, Left + Scale, Top + Scale, Scale, OpaquePixel(96, 96, 96));
    DrawLettering(Picture, Left, Top, Scale, OpaquePixel(220, 220, 220));
    return Picture;
}

}  // namespace quorvane
