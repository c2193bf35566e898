// cordelo-cli record: what the production record holds, or its summary, for a person, for
// scripts (--json), for a spreadsheet (--csv) and as a page to mail (--html).
#pragma once

#include "cli_run.h"
#include "command_line.h"

namespace cli {

int RunRecordListing(const Invocation& invocation, Console& console);

} // namespace cli
