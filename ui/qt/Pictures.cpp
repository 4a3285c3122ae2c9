#include "ui/qt/Pictures.h"

#include <algorithm>

namespace quorvane {

QImage QtImage(const TPicture& Picture) {
    const bool Opaque = std::all_of(Picture.Pixels.begin(), Picture.Pixels.end(),
                                    [](std::uint32_t Pixel) { return Pixel >> 24 == 0xFF; });
    QImage Image(Picture.Width, Picture.Height, Opaque ? QImage::Format_RGB888 : QImage::Format_ARGB32);
    for (int Y = 0; Y < Picture.Height; ++Y)
        for (int X = 0; X < Picture.Width; ++X)
            Image.setPixel(X, Y, Picture.At(X, Y));
    return Image;
}

}  // namespace quorvane
