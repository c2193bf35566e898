#include "label_preview.h"

#include "label_print/label_painting.h"
#include "label_print/label_template_file.h"

#include <QPainter>

#include <cmath>

namespace station {

label_print::LabelValues ExampleValues(const QString& bench) {
    // The longest values first, so that every placeholder a template may name has one.
    label_print::LabelValues values = label_print::LongestValues(bench);
    values.unit = 1234;
    values.address = QStringLiteral("0012 6f 3a 9b01");
    values.firmware = QStringLiteral("v2.0");
    values.date = QDate::currentDate();
    values.settings.name = QStringLiteral("Sensor-1234");
    values.settings.pin = QStringLiteral("4821");
    values.settings.baud = QStringLiteral("9600");
    values.settings.stopBits = QStringLiteral("1");
    values.settings.parity = QStringLiteral("N");
    values.settings.address = values.address;
    return values;
}

std::variant<QImage, QString> PreviewLabel(const QString& nameOrPath, const QString& bench,
                                           int dotsPerInch) {
    const auto loaded = label_print::LoadLabelTemplate(nameOrPath, bench);
    if (const auto* refusal = std::get_if<QString>(&loaded))
        return *refusal;
    const auto& label = std::get<profile::LabelTemplate>(loaded);
    const auto pixels = [dotsPerInch](double millimetres) {
        return std::max(1, static_cast<int>(std::lround(millimetres * dotsPerInch / 25.4)));
    };
    QImage image(pixels(label.widthMm), pixels(label.heightMm), QImage::Format_RGB32);
    image.setDotsPerMeterX(static_cast<int>(std::lround(dotsPerInch / 0.0254)));
    image.setDotsPerMeterY(image.dotsPerMeterX());
    image.fill(Qt::white);
    QPainter painter(&image);
    if (const auto refusal = label_print::PaintLabel(
            painter, dotsPerInch, label, label_print::FillLabel(label, ExampleValues(bench))))
        return *refusal;
    return image;
}

} // namespace station
