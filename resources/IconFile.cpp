#include "resources/IconFile.h"

#include <stdexcept>

namespace quorvane {
namespace {

void Put16(std::vector<std::uint8_t>& Out, std::uint32_t Value) {
    Out.push_back(static_cast<std::uint8_t>(Value));
    Out.push_back(static_cast<std::uint8_t>(Value >> 8));
}

void Put32(std::vector<std::uint8_t>& Out, std::uint32_t Value) {
    Put16(Out, Value & 0xFFFF);
    Put16(Out, Value >> 16);
}

// One image as the file stores it: a bitmap header of twice the height
// (colour plus mask), the colour rows bottom-up in BGRA, then the mask rows
// bottom-up, each padded to 32 bits, a set bit meaning transparent.
std::vector<std::uint8_t> ImageBytes(const TPicture& Picture) {
    const int Size = Picture.Width;
    const std::uint32_t MaskStride = ((Size + 31) / 32) * 4;
    const std::uint32_t ColourBytes = static_cast<std::uint32_t>(Size) * Size * 4;
    const std::uint32_t MaskBytes = MaskStride * Size;
    std::vector<std::uint8_t> Out;
    Out.reserve(40 + ColourBytes + MaskBytes);
    Put32(Out, 40);
    Put32(Out, static_cast<std::uint32_t>(Size));
    Put32(Out, static_cast<std::uint32_t>(Size) * 2);
    Put16(Out, 1);  // planes
    Put16(Out, 32);  // bits per pixel
    Put32(Out, 0);  // uncompressed
    Put32(Out, ColourBytes + MaskBytes);
    for (int I = 0; I < 4; ++I)
        Put32(Out, 0);
    for (int Y = Size - 1; Y >= 0; --Y)
        for (int X = 0; X < Size; ++X) {
            const std::uint32_t Pixel = Picture.At(X, Y);
            const bool Clear = Pixel >> 24 == 0;
            Out.push_back(Clear ? 0 : static_cast<std::uint8_t>(Pixel));
            Out.push_back(Clear ? 0 : static_cast<std::uint8_t>(Pixel >> 8));
            Out.push_back(Clear ? 0 : static_cast<std::uint8_t>(Pixel >> 16));
            Out.push_back(static_cast<std::uint8_t>(Pixel >> 24));
        }
    for (int Y = Size - 1; Y >= 0; --Y) {
        std::vector<std::uint8_t> Row(MaskStride, 0);
        for (int X = 0; X < Size; ++X)
            if (Picture.At(X, Y) >> 24 == 0)
                Row[static_cast<std::size_t>(X / 8)] |= static_cast<std::uint8_t>(0x80 >> (X % 8));
        Out.insert(Out.end(), Row.begin(), Row.end());
    }
    return Out;
}

}  // namespace

std::vector<std::uint8_t> IconFileBytes(const std::vector<TPicture>& Pictures) {
    std::vector<std::vector<std::uint8_t>> Images;
    for (const TPicture& Picture : Pictures) {
        if (Picture.Width != Picture.Height || Picture.Width < 1 || Picture.Width > 256 ||
            Picture.Pixels.size() != static_cast<std::size_t>(Picture.Width) * Picture.Height)
            throw std::invalid_argument("icon pictures are square, 1 to 256 pixels wide");
        Images.push_back(ImageBytes(Picture));
    }
    std::vector<std::uint8_t> Out;
    Put16(Out, 0);  // reserved
    Put16(Out, 1);  // an icon, not a cursor
    Put16(Out, static_cast<std::uint32_t>(Images.size()));
    std::uint32_t Offset = 6 + 16 * static_cast<std::uint32_t>(Images.size());
    for (std::size_t I = 0; I < Images.size(); ++I) {
        const int Size = Pictures[I].Width;
        Out.push_back(static_cast<std::uint8_t>(Size == 256 ? 0 : Size));  // 0 stands for 256
        Out.push_back(static_cast<std::uint8_t>(Size == 256 ? 0 : Size));
        Out.push_back(0);  // no palette
        Out.push_back(0);
        Put16(Out, 1);
        Put16(Out, 32);
        Put32(Out, static_cast<std::uint32_t>(Images[I].size()));
        Put32(Out, Offset);
        Offset += static_cast<std::uint32_t>(Images[I].size());
    }
    for (const std::vector<std::uint8_t>& Image : Images)
        Out.insert(Out.end(), Image.begin(), Image.end());
    return Out;
}

}  // namespace quorvane
