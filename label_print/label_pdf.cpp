#include "label_pdf.h"

#include "label_painting.h"

#include "production_record/record_filter.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <filesystem>

namespace label_print {

QString LabelFileName(const LabelValues& values) {
    return values.unit ? QStringLiteral("unit-%1.pdf").arg(*values.unit)
                       : QStringLiteral("address-%1.pdf")
                             .arg(production_record::AddressKey(values.address));
}

QString LabelFilePath(const QString& folder, const LabelValues& values) {
    return QDir(folder).absoluteFilePath(LabelFileName(values));
}

QString StagedLabelPath(const QString& folder, const LabelValues& values) {
    return QDir(folder).absoluteFilePath(QLatin1Char('.') + LabelFileName(values) +
                                         QStringLiteral(".part"));
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

std::variant<QByteArray, QString> DrawLabelPdf(const profile::LabelTemplate& label,
                                               const LabelValues& values) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    if (auto refusal = PaintLabelPdf(buffer, label, values))
        return *refusal;
    return pdf;
}

LabelPrint SaveLabelPdf(const QString& path, const std::variant<QByteArray, QString>& drawn) {
    if (const auto* refusal = std::get_if<QString>(&drawn))
        return {false, {}, *refusal + QStringLiteral(": ") + path};
    // Written whole or not at all: a scanner never finds half a label in the folder.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(std::get<QByteArray>(drawn)) < 0 ||
        !file.commit())
        return {false, {}, QStringLiteral("cannot write %1: %2").arg(path, file.errorString())};
    return {true, path, {}};
}

LabelPrint PlaceStagedLabelPdf(const QString& folder, const LabelValues& values) {
    const QString path = LabelFilePath(folder, values);
    // A rename replaces the file in one step, where QFile::rename refuses to.
    std::error_code error;
    std::filesystem::rename(QFileInfo(StagedLabelPath(folder, values)).filesystemFilePath(),
                            QFileInfo(path).filesystemFilePath(), error);
    if (error)
        return {false,
                {},
                QStringLiteral("cannot write %1: %2")
                    .arg(path, QString::fromStdString(error.message()))};
    return {true, path, {}};
}

LabelPrint WriteLabelPdf(const QString& folder, const profile::LabelTemplate& label,
                         const LabelValues& values) {
    return SaveLabelPdf(LabelFilePath(folder, values), DrawLabelPdf(label, values));
}

} // namespace label_print
