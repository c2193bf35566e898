// Fits the desktop's font to a layout of fixed pixel sizes before the controls exist: the
// window keeps the default font family and gives up only as much size as its captions need.
#pragma once

#include <QFont>
#include <QSize>
#include <QString>

#include <span>

namespace main_window {

// Point size below which text is not made smaller, even if a caption is then cut.
inline constexpr double kSmallestPointSize = 6.0;

// What draws a caption, which decides what the style puts around the text.
enum class CaptionKind { Label, CheckBox, Button, PictureButton, Frame };

struct Caption {
    QString text;
    CaptionKind kind;
    int width = 0;       // pixels the control has for it
    QSize pictureSize{}; // of a picture button, drawn above the caption
};

// The largest font of the desktop font's family, in half points, at which every caption
// fits its control as the application's style draws it: the desktop font itself when they
// fit at its size.
QFont FontFittingCaptions(const QFont& desktopFont, std::span<const Caption> captions);

} // namespace main_window
