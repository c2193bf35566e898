#include "label_pdf.h"

#include "label_painting.h"

#include "production_record/record_filter.h"

#include <QDir>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace label_print {

QString LabelFileName(const LabelValues& values) {
    return values.unit ? QStringLiteral("unit-%1.pdf").arg(*values.unit)
                       : QStringLiteral("address-%1.pdf")
                             .arg(production_record::AddressKey(values.address));
}

std::optional<QString> PaintLabelPdf(QIODevice& device, const profile::LabelTemplate& label,
                                     const LabelValues& values) {
    QPdfWriter writer(&device);
    writer.setResolution(kPdfDotsPerInch);
    writer.setPageSize(QPageSize(QSizeF(label.widthMm, label.heightMm), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    writer.setTitle(FillLabelText(label.codeText, values));
    writer.setCreator(QStringLiteral("Cordelo Setup"));
    QPainter painter;
    if (!painter.begin(&writer))
        return QStringLiteral("cannot begin the PDF");
    return PaintLabel(painter, kPdfDotsPerInch, label, FillLabel(label, values));
}

LabelPrint WriteLabelPdf(const QString& folder, const profile::LabelTemplate& label,
                         const LabelValues& values) {
    const QString path = QDir(folder).absoluteFilePath(LabelFileName(values));
    // Written whole or not at all: a scanner never finds half a label in the folder.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, {}, QStringLiteral("cannot write %1: %2").arg(path, file.errorString())};
    if (auto refusal = PaintLabelPdf(file, label, values))
        return {false, {}, *refusal + QStringLiteral(": ") + path};
    if (!file.commit())
        return {false, {}, QStringLiteral("cannot write %1: %2").arg(path, file.errorString())};
    return {true, path, {}};
}

} // namespace label_print
