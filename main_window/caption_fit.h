// Fits the desktop's font to a layout of fixed pixel sizes: the window keeps the
// default font family and gives up only as much size as its captions need.
#pragma once

class QWidget;

namespace main_window {

// Point size below which text is not made smaller, even if a caption is then cut.
inline constexpr double kSmallestPointSize = 6.0;

// Sets the largest point size, in half points, at which every visible caption of the
// window's labels, check boxes and buttons fits its control; does nothing when they
// fit at the default size.
void FitFontToCaptions(QWidget& window);

// True when every visible caption fits its control at the window's current font.
bool CaptionsFit(const QWidget& window);

} // namespace main_window
