// Ends a start-up measurement: says "first-paint" and the peak resident memory in KiB on
// standard output once the window has painted for the first time, then quits. The
// runner times the line's arrival.
#pragma once

class QWidget;

namespace bench {

void ExitAfterFirstPaint(QWidget& window);

} // namespace bench
