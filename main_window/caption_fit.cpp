// Measures the captions through the controls' own size hints, which include what the
// style draws around the text (check indicator, button margins, label frame).
#include "caption_fit.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace main_window {

namespace {

constexpr double kPointStep = 0.5;

// How much of its caption's width a control can show: 1 or more when it fits.
double RoomForCaption(const QWidget& control) {
    const auto* frame = qobject_cast<const QGroupBox*>(&control);
    // A frame's size hint covers its children's layout too; only its title counts.
    const int needed =
        frame ? frame->fontMetrics().horizontalAdvance(frame->title()) : control.sizeHint().width();
    return needed > 0 ? double(control.width()) / needed : 1.0;
}

// The tightest fit among the visible captions of the window.
double TightestRoom(const QWidget& window) {
    double tightest = 1.0;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        if (control->isHidden())
            continue;
        const auto* label = qobject_cast<const QLabel*>(control);
        const auto* button = qobject_cast<const QAbstractButton*>(control);
        const auto* frame = qobject_cast<const QGroupBox*>(control);
        const bool hasCaption = (label && !label->text().isEmpty()) ||
                                (button && !button->text().isEmpty()) ||
                                (frame && !frame->title().isEmpty());
        if (hasCaption)
            tightest = std::min(tightest, RoomForCaption(*control));
    }
    return tightest;
}

} // namespace

bool CaptionsFit(const QWidget& window) {
    return TightestRoom(window) >= 1.0;
}

void FitFontToCaptions(QWidget& window) {
    double room = TightestRoom(window);
    if (room >= 1.0)
        return;
    QFont font = window.font();
    // A default font given in pixels still has a point size to step down from.
    if (font.pointSizeF() <= 0)
        font.setPointSizeF(QFontInfo(font).pointSizeF());
    // Every change of the window's font relays out all its controls, so go straight to
    // the size the tightest caption suggests, then step down only if margins that do not
    // scale with the text still need it.
    double points = std::floor(font.pointSizeF() * room / kPointStep) * kPointStep;
    for (;;) {
        points = std::max(points, kSmallestPointSize);
        font.setPointSizeF(points);
        window.setFont(font);
        room = TightestRoom(window);
        if (room >= 1.0 || points <= kSmallestPointSize)
            return;
        points -= kPointStep;
    }
}

} // namespace main_window
