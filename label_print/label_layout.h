// Where a label's code and lines fall on a device of some resolution: whole device pixels per
// module, so that a 203 dpi thermal printer gets modules as sharp as a 600 dpi one.
#pragma once

#include "label_code.h"

#include <QRect>

namespace label_print {

// Millimetres as device pixels at this resolution.
int PixelsOf(double millimetres, int dotsPerInch);

// The whole number of device pixels per module that puts the code with its quiet zone into
// the box; 0 when even one pixel per module is too wide.
int ModulePixels(const CodeModules& code, const QRect& boxPixels);

// The code's size in millimetres at the narrowest module a scanner reads: the smallest box
// the code fits in (a square for a QR Code or a Data Matrix, any height for a Code 128).
double SmallestCodeWidthMm(const CodeModules& code);

} // namespace label_print
