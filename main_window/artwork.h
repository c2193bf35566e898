// Where the window's pictures live in the resources, kept in one place.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace main_window {

// Each picture comes with an image of twice its pixels, for screens at a device pixel
// ratio of 2, so that it is never drawn scaled up there.
inline const QStringList kConnectPictureFiles = {
    QStringLiteral(":/icons/connect-32.png"),
    QStringLiteral(":/icons/connect-16.png"),
    QStringLiteral(":/icons/connect-64.png"),
};
inline const QStringList kRefreshPictureFiles = {
    QStringLiteral(":/icons/refresh.png"),
    QStringLiteral(":/icons/refresh-2x.png"),
};

inline constexpr QSize kConnectPictureSize{32, 32};
inline constexpr QSize kRefreshPictureSize{19, 14};

} // namespace main_window
