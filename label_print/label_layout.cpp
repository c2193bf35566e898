#include "label_layout.h"

#include <algorithm>
#include <cmath>

namespace label_print {

int PixelsOf(double millimetres, int dotsPerInch) {
    return static_cast<int>(std::lround(millimetres * dotsPerInch / 25.4));
}

int ModulePixels(const CodeModules& code, const QRect& boxPixels) {
    const int across =
        code.isLinear() ? boxPixels.width() : std::min(boxPixels.width(), boxPixels.height());
    return across / std::max(1, code.columnsWithQuietZone());
}

double SmallestCodeWidthMm(const CodeModules& code) {
    return code.columnsWithQuietZone() * SmallestModuleMm(code.kind);
}

} // namespace label_print
