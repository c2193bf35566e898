// cordelo-cli record: what the production record holds, for a person, for scripts (--json)
// and for a spreadsheet (--csv).
#pragma once

#include "cli_run.h"
#include "command_line.h"

namespace cli {

int RunRecordListing(const Invocation& invocation, Console& console);

} // namespace cli
