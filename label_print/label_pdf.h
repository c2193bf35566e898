// A label as a PDF file of its own, one page of the label's size, in the folder a job names:
// unit-N.pdf by the unit number, or address-KEY.pdf by the address key without one.
#pragma once

#include "label_outcome.h"
#include "label_values.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <optional>
#include <variant>

namespace label_print {

// Fine enough that a rasterised page decodes, and a multiple of most printers' resolutions.
inline constexpr int kPdfDotsPerInch = 600;

QString LabelFileName(const LabelValues& values);

// The label as a one-page PDF into `device`: why it cannot be drawn, or nothing.
std::optional<QString> PaintLabelPdf(QIODevice& device, const profile::LabelTemplate& label,
                                     const LabelValues& values);

// The unit's label file in `folder`.
QString LabelFilePath(const QString& folder, const LabelValues& values);
// Where a unit's label waits, drawn and on disk, until the unit passes: beside its file, under a
// name that no scanner or print folder takes for a label.
QString StagedLabelPath(const QString& folder, const LabelValues& values);

// The label as the bytes of its PDF file, or why it cannot be drawn.
std::variant<QByteArray, QString> DrawLabelPdf(const profile::LabelTemplate& label,
                                               const LabelValues& values);
// A label drawn before, as the file `path`, written whole or not at all.
LabelPrint SaveLabelPdf(const QString& path, const std::variant<QByteArray, QString>& drawn);
// A staged label put in the place of its file at once, in place of an earlier label of the unit.
LabelPrint PlaceStagedLabelPdf(const QString& folder, const LabelValues& values);

LabelPrint WriteLabelPdf(const QString& folder, const profile::LabelTemplate& label,
                         const LabelValues& values);

} // namespace label_print
