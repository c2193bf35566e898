// Starting a helper program as the unprivileged user nobody, for the drills that
// root's rights would pass without a fault.
#pragma once

class QProcess;

namespace drills {

// The exit status of a child that could not switch user before its program ran.
inline constexpr int kCannotSwitchUser = 77;

// The process, once started, runs its program as nobody with no supplementary groups.
void RunAsNobody(QProcess& process);

} // namespace drills
