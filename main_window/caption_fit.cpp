// Measures each caption as its control's size hint will, through the style's own margins
// (check indicator, button frame, the picture above a picture button's text), on font
// metrics alone: no control has to exist, and none changes its font afterwards.
#include "caption_fit.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionToolButton>

#include <algorithm>
#include <cmath>

namespace main_window {

namespace {

constexpr double kPointStep = 0.5;

// A caption's text width and the width its control needs for it, measuring the text once.
struct Measure {
    int text = 0;
    int needed = 0;
};

Measure Measured(const Caption& caption, const QFontMetrics& metrics, const QStyle& style) {
    if (caption.kind == CaptionKind::Frame) {
        const int width = metrics.horizontalAdvance(caption.text);
        return {width, width};
    }
    const QSize text = metrics.size(Qt::TextShowMnemonic, caption.text);
    switch (caption.kind) {
    case CaptionKind::CheckBox: {
        QStyleOptionButton option;
        option.text = caption.text;
        return {text.width(), style.sizeFromContents(QStyle::CT_CheckBox, &option, text).width()};
    }
    case CaptionKind::Button: {
        QStyleOptionButton option;
        option.text = caption.text;
        option.rect.setSize(text);
        return {text.width(), style.sizeFromContents(QStyle::CT_PushButton, &option, text).width()};
    }
    case CaptionKind::PictureButton: {
        QStyleOptionToolButton option;
        option.text = caption.text;
        option.iconSize = caption.pictureSize;
        option.toolButtonStyle = Qt::ToolButtonTextUnderIcon;
        const QSize content(
            std::max(caption.pictureSize.width(),
                     text.width() + 2 * metrics.horizontalAdvance(QLatin1Char(' '))),
            caption.pictureSize.height() + 4 + text.height());
        option.rect.setSize(content);
        return {text.width(),
                style.sizeFromContents(QStyle::CT_ToolButton, &option, content).width()};
    }
    default:
        return {text.width(), text.width()};
    }
}

bool AllFit(std::span<const Caption> captions, const QFont& font, const QStyle& style) {
    const QFontMetrics metrics(font);
    return std::all_of(captions.begin(), captions.end(), [&](const Caption& caption) {
        return Measured(caption, metrics, style).needed <= caption.width;
    });
}

} // namespace

QFont FontFittingCaptions(const QFont& desktopFont, std::span<const Caption> captions) {
    const QStyle& style = *QApplication::style();
    // Text scales with the point size, the margins around it do not: the tightest caption
    // tells the size to try first, so that few sizes are loaded and measured on the way.
    const QFontMetrics metrics(desktopFont);
    double scale = 1.0;
    for (const Caption& caption : captions) {
        const Measure measure = Measured(caption, metrics, style);
        if (measure.needed > caption.width && measure.text > 0) {
            const int margin = measure.needed - measure.text;
            scale = std::min(scale, double(caption.width - margin) / measure.text);
        }
    }
    if (scale >= 1.0)
        return desktopFont;
    QFont font = desktopFont;
    // A default font given in pixels still has a point size to step down from.
    if (font.pointSizeF() <= 0)
        font.setPointSizeF(QFontInfo(font).pointSizeF());
    double points = std::floor(font.pointSizeF() * scale / kPointStep) * kPointStep;
    for (;;) {
        font.setPointSizeF(std::max(points, kSmallestPointSize));
        if (points <= kSmallestPointSize || AllFit(captions, font, style))
            return font;
        points -= kPointStep;
    }
}

} // namespace main_window
