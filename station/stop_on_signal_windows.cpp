// Windows: the station is a window program without a console; taskkill and a log-off send the
// window WM_CLOSE, which closes it as the operator would.
#include "stop_on_signal.h"

namespace station {

bool CloseOnStopRequest(QWidget&) {
    return true;
}

} // namespace station
