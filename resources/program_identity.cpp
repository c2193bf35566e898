#include "program_identity.h"

#include "icon_from_files.h"

#include <QGuiApplication>
#include <QSize>

namespace resources {

QString ProgramVersion() {
    return QStringLiteral(CORDELO_PROGRAM_VERSION);
}

QString DesktopFileName() {
    return QStringLiteral(CORDELO_DESKTOP_FILE_NAME);
}

QIcon LoadApplicationIcon() {
    std::vector<IconImage> images;
    // 64 and 96 pixels serve the 32 and 48 pixel sizes on screens at twice the density.
    for (const int size : {16, 24, 32, 48, 64, 96})
        images.push_back({QStringLiteral(":/icons/app-%1.png").arg(size), QSize(size, size)});
    return IconFromFiles(std::move(images));
}

void ApplyProgramIdentity() {
    QGuiApplication::setApplicationVersion(ProgramVersion());
    QGuiApplication::setDesktopFileName(DesktopFileName());
    QGuiApplication::setWindowIcon(LoadApplicationIcon());
}

} // namespace resources
