// A label as a PNG picture, to look at before printing: the same painting as on paper.
#pragma once

#include "label_outcome.h"
#include "label_values.h"

#include <QString>

namespace label_print {

// Fine enough for a scanner to read from the screen, small enough to mail.
inline constexpr int kPngDotsPerInch = 300;

// The label into the file at `path`, written whole or not at all.
LabelPrint WriteLabelPng(const QString& path, const profile::LabelTemplate& label,
                         const LabelValues& values);

} // namespace label_print
