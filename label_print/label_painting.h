// One label painted with QPainter at the device's resolution: the code's modules on whole
// device pixels, the lines of text in the sizes the template gives.
#pragma once

#include "label_values.h"

#include <QPainter>

#include <optional>

namespace label_print {

// Paints the label with its top left corner at the painter's origin, on a device of
// `dotsPerInch`: why the code cannot be drawn, or nothing.
std::optional<QString> PaintLabel(QPainter& painter, int dotsPerInch,
                                  const profile::LabelTemplate& label, const FilledLabel& filled);

} // namespace label_print
