// What a label template gives on paper, before any module passes: the template filled with
// the values of a made-up unit and painted as the label thread paints it, or why the job
// would refuse it.
#pragma once

#include "label_print/label_values.h"

#include <QImage>
#include <QString>

#include <variant>

namespace station {

// Values like a real unit's (unit 1234, its name and address, today), with every other
// [Module] key filled, so that a line with {pin} or {baud} shows too.
label_print::LabelValues ExampleValues(const QString& bench);

// The template NAME_OR_PATH ("default" or a file) as a label at `dotsPerInch`, or the reason
// the job refuses it, naming the file and its line.
std::variant<QImage, QString> PreviewLabel(const QString& nameOrPath, const QString& bench,
                                           int dotsPerInch);

} // namespace station
