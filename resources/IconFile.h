// The icon file format (.ico): pictures of several sizes in one file, each as
// a 32-bit colour image with alpha and a one-bit transparency mask. The build
// writes the program's icon with it, from the same drawing as the window's.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/rules/Pictures.h"

namespace quorvane {

// The bytes of an icon file with one image per picture, in the given order.
// Pictures must be square and 1 to 256 pixels wide.
std::vector<std::uint8_t> IconFileBytes(const std::vector<TPicture>& Pictures);

}  // namespace quorvane
