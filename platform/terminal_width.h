// How many columns the terminal on stderr has, so that a line redrawn in place never wraps.
#pragma once

namespace platform {

// The width of the terminal that stderr shows on, or 0 when it is none or cannot say.
int StderrColumns();

} // namespace platform
