#include "label_painting.h"

#include "label_code.h"
#include "label_layout.h"

#include <QFontMetricsF>

namespace label_print {
namespace {

QRect PixelBox(const QRectF& millimetres, int dotsPerInch) {
    const int left = PixelsOf(millimetres.left(), dotsPerInch);
    const int top = PixelsOf(millimetres.top(), dotsPerInch);
    return QRect(left, top, PixelsOf(millimetres.right(), dotsPerInch) - left,
                 PixelsOf(millimetres.bottom(), dotsPerInch) - top);
}

std::optional<QString> PaintCode(QPainter& painter, int dotsPerInch,
                                 const profile::LabelTemplate& label, const QString& text) {
    const auto encoded = EncodeCode(label.kind, text);
    if (const auto* refusal = std::get_if<QString>(&encoded))
        return *refusal;
    const auto& code = std::get<CodeModules>(encoded);
    const QRect box = PixelBox(label.codeBoxMm, dotsPerInch);
    const int module = ModulePixels(code, box);
    if (module < 1)
        return QStringLiteral("the %1 does not fit its box at %2 dpi")
            .arg(CodeKindName(code.kind))
            .arg(dotsPerInch);
    const QPoint origin =
        box.topLeft() + QPoint(code.quietZone, code.isLinear() ? 0 : code.quietZone) * module;
    for (const QRect& dark : code.dark) {
        const int height = code.isLinear() ? box.height() : dark.height() * module;
        painter.fillRect(
            QRect(origin + dark.topLeft() * module, QSize(dark.width() * module, height)),
            Qt::black);
    }
    return std::nullopt;
}

// A line wider than the room to the label's edge is narrowed to fit, so that nothing a
// unit's values hold is cut off.
void PaintLine(QPainter& painter, int dotsPerInch, const QPointF& topLeft, double roomPixels,
               double sizeMm, const QString& text) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(1, PixelsOf(sizeMm, dotsPerInch)));
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());
    const double width = metrics.horizontalAdvance(text);
    painter.save();
    painter.translate(topLeft.x(), topLeft.y() + metrics.ascent());
    if (width > roomPixels && roomPixels > 0)
        painter.scale(roomPixels / width, 1);
    painter.drawText(QPointF(0, 0), text);
    painter.restore();
}

} // namespace

std::optional<QString> PaintLabel(QPainter& painter, int dotsPerInch,
                                  const profile::LabelTemplate& label, const FilledLabel& filled) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (auto refusal = PaintCode(painter, dotsPerInch, label, filled.code))
        return refusal;
    painter.setPen(Qt::black);
    double top = label.textTopMm;
    // The margin on the right matches the one on the left of the code.
    const double right = label.widthMm - std::min(label.codeBoxMm.left(), label.textLeftMm);
    for (qsizetype index = 0; index < label.lines.size(); ++index) {
        const profile::LabelTextLine& line = label.lines[index];
        const QString& text = filled.lines.value(index);
        if (!text.isEmpty()) {
            PaintLine(painter, dotsPerInch,
                      QPointF(PixelsOf(label.textLeftMm, dotsPerInch), PixelsOf(top, dotsPerInch)),
                      PixelsOf(right - label.textLeftMm, dotsPerInch), line.sizeMm, text);
            top += line.sizeMm * profile::kLineSpacing;
        }
    }
    return std::nullopt;
}

} // namespace label_print
