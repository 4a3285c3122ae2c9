// The window's own pictures (ui/rules/Pictures.h) as GDI and USER objects:
// bitmaps, masks for the image lists, icons.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ui/rules/Pictures.h"
#include "ui/win32/Handles.h"

namespace quorvane::win32 {

// A top-down DIB section with the picture's pixels. At 32 bits per pixel the
// alpha channel is kept (transparent pixels are black with alpha 0); at 24
// bits it is dropped.
TBitmapHandle PictureBitmap(const TPicture& Picture, int BitsPerPixel = 32);

// The one-bit transparency mask: set (white) where the picture is transparent.
TBitmapHandle PictureMask(const TPicture& Picture);

// Appends the picture with its mask to an image list of the picture's size;
// the new index, or -1 when the list refuses it.
int AddPicture(HIMAGELIST List, const TPicture& Picture);

// The picture resampled to Width x Height, each pixel taken from the nearest
// one of the original, so that no new colours arise (a colour that is keyed
// out stays exact).
TPicture ScaledPicture(const TPicture& Picture, int Width, int Height);

// An icon of the picture, transparent where the picture is.
TIconHandle PictureIcon(const TPicture& Picture);

}  // namespace quorvane::win32
