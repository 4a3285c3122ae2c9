// The window's own pictures, drawn pixel by pixel without a toolkit, so that
// both windows show the same images: the two image-list motifs and the logo.
#pragma once

#include <cstdint>
#include <vector>

namespace quorvane {

// A picture in 32-bit pixels 0xAARRGGBB, row by row from the top; alpha is
// 0 (transparent) or 255 (opaque).
struct TPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;

    TPicture() = default;
    TPicture(int W, int H, std::uint32_t Fill);
    std::uint32_t At(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y) * Width + X]; }
    // Ignores points outside the picture.
    void Set(int X, int Y, std::uint32_t Color);
};

constexpr std::uint32_t kTransparentPixel = 0x00000000;
constexpr std::uint32_t OpaquePixel(int R, int G, int B) {
    return 0xFF000000u | static_cast<std::uint32_t>(R) << 16 | static_cast<std::uint32_t>(G) << 8 |
           static_cast<std::uint32_t>(B);
}

// Image index 0: a generic application window, Size x Size, transparent
// around it and in its client area.
TPicture GenericWindowPicture(int Size);
// Image index 1: the four-pane waving flag of the kernel processes in a
// square outline, Size x Size, on a transparent ground.
TPicture KernelFlagPicture(int Size);

// The program's own icon, Size x Size: a process tree whose entries carry the
// colours of the ratings, on a rounded navy square; transparent corners.
TPicture ProgramIconPicture(int Size);

// The toolbar logo at a whole scale factor: (125 x 32) * Scale, opaque, light
// lettering on the mid-gray (128, 128, 128) ground that is drawn transparent.
TPicture LogoPicture(int Scale = 1);
constexpr int kLogoWidth = 125;
constexpr int kLogoHeight = 32;
constexpr std::uint32_t kLogoGround = OpaquePixel(128, 128, 128);

}  // namespace quorvane
