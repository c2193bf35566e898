// Whether a window program can open a window here, asked before the application starts, since
// Qt ends the process when it finds no display.
#pragma once

namespace platform {

// True on Windows and macOS; elsewhere when an X or Wayland display is named, or a platform
// that needs none (offscreen, vnc) is asked for.
bool DisplayAvailable();

} // namespace platform
