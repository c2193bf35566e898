#include "unplug_on_command.h"

#include <chrono>

namespace drills {
namespace {

// Far beyond any exchange of the tool; reached only when a drill has already failed.
constexpr std::chrono::milliseconds kCommandTimeout{10000};

} // namespace

UnplugOnCommand::UnplugOnCommand(virtual_module::VirtualModule& module, std::size_t commandNumber)
    : m_watch([this, &module, commandNumber] {
          m_trigger = module.waitForCommand(commandNumber, kCommandTimeout);
          if (m_trigger)
              module.hangUp();
      }) {}

UnplugOnCommand::~UnplugOnCommand() {
    if (m_watch.joinable())
        m_watch.join();
}

std::optional<std::string> UnplugOnCommand::trigger() {
    if (m_watch.joinable())
        m_watch.join();
    return m_trigger;
}

} // namespace drills
