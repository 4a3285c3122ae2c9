// The window's own pictures (ui/rules/Pictures.h) as Qt images.
#pragma once

#include <QImage>

#include "ui/rules/Pictures.h"

namespace quorvane {

// A picture with transparency as 32-bit ARGB; an opaque one, like the logo
// whose ground colour is keyed out, as 24-bit RGB.
QImage QtImage(const TPicture& Picture);

}  // namespace quorvane
