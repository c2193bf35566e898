// Design units: positions and sizes in twips, placed at 15 twips per pixel (96 dpi);
// Qt's high-DPI scaling maps the pixels to other densities.
#pragma once

#include <QPoint>
#include <QRect>

namespace main_window {

inline constexpr int kTwipsPerPixel = 15;

// Rounds to the nearest pixel: a few line ends are not whole pixels.
constexpr int Pixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};

inline QRect ToPixels(const TwipRect& rect) {
    return {Pixels(rect.left), Pixels(rect.top), Pixels(rect.width), Pixels(rect.height)};
}

inline QPoint PixelPoint(int x, int y) {
    return {Pixels(x), Pixels(y)};
}

} // namespace main_window
