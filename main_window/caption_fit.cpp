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

int NeededWidth(const Caption& caption, const QFontMetrics& metrics, const QStyle& style) {
    const QSize text = metrics.size(Qt::TextShowMnemonic, caption.text);
    switch (caption.kind) {
    case CaptionKind::Label:
        return metrics
            .boundingRect(QRect(0, 0, 2000, 2000), Qt::AlignLeft | Qt::AlignTop, caption.text)
            .width();
    case CaptionKind::Frame:
        return metrics.horizontalAdvance(caption.text);
    case CaptionKind::CheckBox: {
        QStyleOptionButton option;
        option.text = caption.text;
        return style.sizeFromContents(QStyle::CT_CheckBox, &option, text).width();
    }
    case CaptionKind::Button: {
        QStyleOptionButton option;
        option.text = caption.text;
        option.rect.setSize(text);
        return style.sizeFromContents(QStyle::CT_PushButton, &option, text).width();
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
        return style.sizeFromContents(QStyle::CT_ToolButton, &option, content).width();
    }
    }
    return 0;
}

bool AllFit(std::span<const Caption> captions, const QFont& font, const QStyle& style) {
    const QFontMetrics metrics(font);
    return std::all_of(captions.begin(), captions.end(), [&](const Caption& caption) {
        return NeededWidth(caption, metrics, style) <= caption.width;
    });
}

} // namespace

QFont FontFittingCaptions(const QFont& desktopFont, std::span<const Caption> captions) {
    const QStyle& style = *QApplication::style();
    if (AllFit(captions, desktopFont, style))
        return desktopFont;
    QFont font = desktopFont;
    // A default font given in pixels still has a point size to step down from.
    if (font.pointSizeF() <= 0)
        font.setPointSizeF(QFontInfo(font).pointSizeF());
    // Text scales with the point size, the margins around it do not: the tightest caption
    // tells the size to try first, so that few sizes are loaded on the way.
    const QFontMetrics metrics(font);
    double scale = 1.0;
    for (const Caption& caption : captions) {
        const int textWidth = metrics.horizontalAdvance(caption.text);
        const int margin = std::max(0, NeededWidth(caption, metrics, style) - textWidth);
        if (textWidth > 0)
            scale = std::min(scale, double(caption.width - margin) / textWidth);
    }
    double points = std::floor(font.pointSizeF() * scale / kPointStep) * kPointStep;
    for (;;) {
        font.setPointSizeF(std::max(points, kSmallestPointSize));
        if (points <= kSmallestPointSize || AllFit(captions, font, style))
            return font;
        points -= kPointStep;
    }
}

} // namespace main_window
