// Ends the station on a stop request from outside (SIGTERM, SIGINT, SIGHUP on POSIX) the way
// closing its window does, so that a slot that is writing keeps its row.
#pragma once

#include <QWidget>

namespace station {

// Closes `window` when the program is asked to stop; false when that cannot be arranged.
bool CloseOnStopRequest(QWidget& window);

} // namespace station
