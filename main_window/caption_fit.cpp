// Measures the captions through the controls' own size hints, which include what the
// style draws around the text (check indicator, button margins, label frame).
#include "caption_fit.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace main_window {

namespace {

constexpr double kPointStep = 0.5;

// One caption: the width its control has, and what the style draws around the text,
// which does not grow or shrink with the font.
struct Caption {
    QString text;
    int room = 0;
    int margin = 0;
    int textWidth = 0;
};

std::optional<QString> CaptionOf(const QWidget& control) {
    if (const auto* label = qobject_cast<const QLabel*>(&control))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control))
        return button->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(&control))
        return frame->title();
    return std::nullopt;
}

std::vector<Caption> VisibleCaptions(const QWidget& window) {
    std::vector<Caption> captions;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        const std::optional<QString> text = CaptionOf(*control);
        if (control->isHidden() || !text || text->isEmpty())
            continue;
        const int textWidth = control->fontMetrics().horizontalAdvance(*text);
        // A frame's size hint covers its children's layout too; only its title counts.
        const int needed =
            qobject_cast<const QGroupBox*>(control) ? textWidth : control->sizeHint().width();
        captions.push_back({*text, control->width(), std::max(0, needed - textWidth), textWidth});
    }
    return captions;
}

bool AllFit(const std::vector<Caption>& captions, const QFont& font) {
    const QFontMetrics metrics(font);
    return std::all_of(captions.begin(), captions.end(), [&metrics](const Caption& caption) {
        return caption.margin + metrics.horizontalAdvance(caption.text) <= caption.room;
    });
}

} // namespace

bool CaptionsFit(const QWidget& window) {
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        const std::optional<QString> text = CaptionOf(*control);
        if (control->isHidden() || !text || text->isEmpty())
            continue;
        const bool isFrame = qobject_cast<const QGroupBox*>(control) != nullptr;
        const int needed =
            isFrame ? control->fontMetrics().horizontalAdvance(*text) : control->sizeHint().width();
        if (needed > control->width())
            return false;
    }
    return true;
}

void FitFontToCaptions(QWidget& window) {
    QFont font = window.font();
    const std::vector<Caption> captions = VisibleCaptions(window);
    if (AllFit(captions, font))
        return;
    // A default font given in pixels still has a point size to step down from.
    if (font.pointSizeF() <= 0)
        font.setPointSizeF(QFontInfo(font).pointSizeF());
    // Text scales with the point size, the margins around it do not: the tightest caption
    // tells the size to try first. Each size tried loads a font, and changing the window's
    // font relays out every control, so that happens once, with the size found.
    double scale = 1.0;
    for (const Caption& caption : captions) {
        if (caption.textWidth > 0)
            scale = std::min(scale, double(caption.room - caption.margin) / caption.textWidth);
    }
    double points = std::floor(font.pointSizeF() * scale / kPointStep) * kPointStep;
    for (;;) {
        font.setPointSizeF(std::max(points, kSmallestPointSize));
        if (points <= kSmallestPointSize || AllFit(captions, font))
            break;
        points -= kPointStep;
    }
    window.setFont(font);
}

} // namespace main_window
