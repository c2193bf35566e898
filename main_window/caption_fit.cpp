// Measures the captions through the controls' own size hints, which include what the
// style draws around the text (check indicator, button margins, label frame).
#include "caption_fit.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace main_window {

namespace {

constexpr double kPointStep = 0.5;

bool Fits(const QWidget& control) {
    return control.sizeHint().width() <= control.width();
}

} // namespace

bool CaptionsFit(const QWidget& window) {
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        if (control->isHidden())
            continue;
        const auto* label = qobject_cast<const QLabel*>(control);
        const auto* button = qobject_cast<const QAbstractButton*>(control);
        const auto* frame = qobject_cast<const QGroupBox*>(control);
        const bool hasCaption = (label && !label->text().isEmpty()) ||
                                (button && !button->text().isEmpty()) ||
                                (frame && !frame->title().isEmpty());
        if (!hasCaption)
            continue;
        // A frame's size hint covers its children's layout too; only its title counts.
        if (frame) {
            const int titleWidth = frame->fontMetrics().horizontalAdvance(frame->title());
            if (titleWidth > frame->width())
                return false;
        } else if (!Fits(*control)) {
            return false;
        }
    }
    return true;
}

void FitFontToCaptions(QWidget& window) {
    QFont font = window.font();
    // A default font given in pixels still has a point size to step down from.
    if (font.pointSizeF() <= 0)
        font.setPointSizeF(QFontInfo(font).pointSizeF());
    while (!CaptionsFit(window) && font.pointSizeF() - kPointStep >= kSmallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - kPointStep);
        window.setFont(font);
    }
}

} // namespace main_window
