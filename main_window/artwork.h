// Where the window's pictures live in the resources, kept in one place.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace main_window {

inline const QStringList kConnectPictureFiles = {
    QStringLiteral(":/icons/connect-32.png"),
    QStringLiteral(":/icons/connect-16.png"),
};
inline const QString kRefreshPictureFile = QStringLiteral(":/icons/refresh.png");

inline constexpr QSize kConnectPictureSize{32, 32};
inline constexpr QSize kRefreshPictureSize{19, 14};

} // namespace main_window
