// Unplugs the virtual module the moment it has received a given command, as a cable
// pulled in the middle of an exchange.
#pragma once

#include "virtual_module/virtual_module.h"

#include <cstddef>
#include <optional>
#include <string>
#include <thread>

namespace drills {

// Watches from a thread of its own: the module's thread cannot hang itself up (hangUp()
// waits for that very thread), and the tool's thread is the one waiting for the reply.
class UnplugOnCommand {
public:
    // commandNumber counts every command the module received since it started, from 1.
    UnplugOnCommand(virtual_module::VirtualModule& module, std::size_t commandNumber);
    ~UnplugOnCommand();
    UnplugOnCommand(const UnplugOnCommand&) = delete;
    UnplugOnCommand& operator=(const UnplugOnCommand&) = delete;

    // The command on which the module was unplugged; nothing when it never came.
    std::optional<std::string> trigger();

private:
    std::optional<std::string> m_trigger;
    std::thread m_watch;
};

} // namespace drills
