// Where the window's pictures live in the resources, kept in one place.
#pragma once

#include "resources/icon_from_files.h"

#include <QSize>
#include <QString>

#include <vector>

namespace main_window {

// Each picture comes with an image of twice its pixels, for screens at a device pixel
// ratio of 2, so that it is never drawn scaled up there.
inline constexpr QSize kConnectPictureSize{32, 32};
inline constexpr QSize kRefreshPictureSize{19, 14};

inline const std::vector<resources::IconImage> kConnectPictureImages = {
    {QStringLiteral(":/icons/connect-16.png"), QSize(16, 16)},
    {QStringLiteral(":/icons/connect-32.png"), kConnectPictureSize},
    {QStringLiteral(":/icons/connect-64.png"), kConnectPictureSize * 2},
};
inline const std::vector<resources::IconImage> kRefreshPictureImages = {
    {QStringLiteral(":/icons/refresh.png"), kRefreshPictureSize},
    {QStringLiteral(":/icons/refresh-2x.png"), kRefreshPictureSize * 2},
};

} // namespace main_window
