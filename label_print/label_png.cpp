#include "label_png.h"

#include "label_layout.h"
#include "label_painting.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>

namespace label_print {

LabelPrint WriteLabelPng(const QString& path, const profile::LabelTemplate& label,
                         const LabelValues& values) {
    const QString file = QFileInfo(path).absoluteFilePath();
    QImage image(PixelsOf(label.widthMm, kPngDotsPerInch),
                 PixelsOf(label.heightMm, kPngDotsPerInch), QImage::Format_RGB32);
    image.fill(Qt::white);
    // Dots per metre, so that a viewer shows it at the label's size.
    const int dotsPerMetre = qRound(kPngDotsPerInch / 0.0254);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    {
        QPainter painter(&image);
        if (auto refusal = PaintLabel(painter, kPngDotsPerInch, label, FillLabel(label, values)))
            return {false, {}, *refusal + QStringLiteral(": ") + file};
    }
    QSaveFile saved(file);
    if (!saved.open(QIODevice::WriteOnly) || !image.save(&saved, "PNG") || !saved.commit())
        return {false, {}, QStringLiteral("cannot write %1: %2").arg(file, saved.errorString())};
    return {true, file, {}};
}

} // namespace label_print
