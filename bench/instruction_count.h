// Instructions a program runs from start to its exit, counted by valgrind's callgrind: a
// start-up figure that does not depend on how fast or how busy the machine is.
#pragma once

#include <QString>

#include <optional>

namespace bench {

// Runs `program` once under callgrind; nothing when valgrind is missing or the run failed.
std::optional<double> CountInstructions(const QString& program);

} // namespace bench
