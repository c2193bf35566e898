// cordelo-cli label: one unit's label printed again from the record, or a preview of it.
#pragma once

#include "cli_run.h"
#include "command_line.h"

#include <optional>

namespace cli {

// Why a `label` command line names no one unit and no one place for its label, or nothing.
std::optional<QString> LabelUsageError(const Invocation& invocation, bool pngGiven);

int RunLabelReprint(const Invocation& invocation, Console& console);

} // namespace cli
