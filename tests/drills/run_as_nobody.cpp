#include "run_as_nobody.h"

#include <QProcess>

#include <grp.h>
#include <unistd.h>

namespace drills {
namespace {

constexpr uid_t kNobodyUser = 65534;
constexpr gid_t kNobodyGroup = 65534;

} // namespace

void RunAsNobody(QProcess& process) {
    // Runs in the child between fork and exec: system calls only.
    process.setChildProcessModifier([] {
        if (::setgroups(1, &kNobodyGroup) != 0 || ::setgid(kNobodyGroup) != 0 ||
            ::setuid(kNobodyUser) != 0)
            ::_exit(kCannotSwitchUser);
    });
}

} // namespace drills
