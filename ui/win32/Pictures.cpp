#include "ui/win32/Pictures.h"

#include <cstring>
#include <vector>

namespace quorvane::win32 {
namespace {

bool Transparent(std::uint32_t Pixel) { return Pixel >> 24 == 0; }

}  // namespace

TBitmapHandle PictureBitmap(const TPicture& Picture, int BitsPerPixel) {
    BITMAPINFO Info{};
    Info.bmiHeader.biSize = sizeof Info.bmiHeader;
    Info.bmiHeader.biWidth = Picture.Width;
    Info.bmiHeader.biHeight = -Picture.Height;  // top-down, as the picture's rows
    Info.bmiHeader.biPlanes = 1;
    Info.bmiHeader.biBitCount = static_cast<WORD>(BitsPerPixel == 24 ? 24 : 32);
    Info.bmiHeader.biCompression = BI_RGB;
    void* Bits = nullptr;
    TBitmapHandle Bitmap(::CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0));
    if (!Bitmap || !Bits)
        return {};
    auto* Rows = static_cast<std::uint8_t*>(Bits);
    const int BytesPerPixel = Info.bmiHeader.biBitCount / 8;
    const int Stride = (Picture.Width * BytesPerPixel + 3) & ~3;
    for (int Y = 0; Y < Picture.Height; ++Y) {
        std::uint8_t* Out = Rows + static_cast<std::size_t>(Y) * Stride;
        for (int X = 0; X < Picture.Width; ++X, Out += BytesPerPixel) {
            const std::uint32_t Pixel = Picture.At(X, Y);
            const bool Clear = Transparent(Pixel) && BytesPerPixel == 4;
            Out[0] = Clear ? 0 : static_cast<std::uint8_t>(Pixel);  // blue
            Out[1] = Clear ? 0 : static_cast<std::uint8_t>(Pixel >> 8);
            Out[2] = Clear ? 0 : static_cast<std::uint8_t>(Pixel >> 16);
            if (BytesPerPixel == 4)
                Out[3] = static_cast<std::uint8_t>(Pixel >> 24);
        }
    }
    ::GdiFlush();
    return Bitmap;
}

TBitmapHandle PictureMask(const TPicture& Picture) {
    // Monochrome bitmaps take rows padded to 16 bits.
    const int Stride = ((Picture.Width + 15) / 16) * 2;
    std::vector<std::uint8_t> Bits(static_cast<std::size_t>(Stride) * Picture.Height, 0);
    for (int Y = 0; Y < Picture.Height; ++Y)
        for (int X = 0; X < Picture.Width; ++X)
            if (Transparent(Picture.At(X, Y)))
                Bits[static_cast<std::size_t>(Y) * Stride + X / 8] |= static_cast<std::uint8_t>(0x80 >> (X % 8));
    return TBitmapHandle(::CreateBitmap(Picture.Width, Picture.Height, 1, 1, Bits.data()));
}

int AddPicture(HIMAGELIST List, const TPicture& Picture) {
    const TBitmapHandle Colour = PictureBitmap(Picture);
    const TBitmapHandle Mask = PictureMask(Picture);
    if (!Colour || !Mask)
        return -1;
    // The list copies both bitmaps; ours go at the end of the scope.
    return ::ImageList_Add(List, Colour.Get(), Mask.Get());
}

TPicture ScaledPicture(const TPicture& Picture, int Width, int Height) {
    TPicture Scaled(Width, Height, kTransparentPixel);
    if (Picture.Width <= 0 || Picture.Height <= 0)
        return Scaled;
    for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X)
            Scaled.Set(X, Y, Picture.At(static_cast<int>(static_cast<long long>(X) * Picture.Width / Width),
                                        static_cast<int>(static_cast<long long>(Y) * Picture.Height / Height)));
    return Scaled;
}

TIconHandle PictureIcon(const TPicture& Picture) {
    const TBitmapHandle Colour = PictureBitmap(Picture);
    const TBitmapHandle Mask = PictureMask(Picture);
    if (!Colour || !Mask)
        return {};
    ICONINFO Info{};
    Info.fIcon = TRUE;
    Info.hbmMask = Mask.Get();
    Info.hbmColor = Colour.Get();
    return TIconHandle(::CreateIconIndirect(&Info));
}

}  // namespace quorvane::win32
