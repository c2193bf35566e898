// Who the program says it is to the desktop: version, desktop id and application icon.
#pragma once

#include <QIcon>
#include <QString>

namespace resources {

// The project version, the same that the Windows version resource carries.
QString ProgramVersion();

// Names the installed icons; desktops also match the program's windows to them by it.
QString DesktopFileName();

// The application icon with its 16, 24, 32 and 48 pixel images.
QIcon LoadApplicationIcon();

// Gives the running application its version, desktop id and icon, so that every window without
// an icon of its own, message boxes included, shows the application icon. Call it once the
// QGuiApplication exists.
void ApplyProgramIdentity();

} // namespace resources
