// The window's own pictures, drawn pixel by pixel at start-up.
#pragma once

#include <QImage>

namespace quorvane {

// Image index 0: a generic application window (Size 16 or 32), transparent around and inside.
QImage GenericWindowPicture(int Size);
// Image index 1: the four-pane waving flag of the kernel processes in a square outline.
QImage KernelFlagPicture(int Size);
// The toolbar logo: 125 x 32, 24 bits per pixel, light lettering on mid-gray (128, 128, 128).
QImage LogoPicture();

}  // namespace quorvane
