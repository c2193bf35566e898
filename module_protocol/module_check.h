// The ping, and the check at Connect that a module answers with a supported firmware.
#pragma once

#include "serial_link/link.h"

namespace modProg {

inline constexpr int kConnectPings = 10;

// Sends "<PING>" and waits for "READY".
bool PingModule(modComm::Link& link);

enum class ModuleCheck { NoReply, InvalidFirmware, Supported };

// Up to ten pings until one is answered, then "<VERS>" and the version check.
ModuleCheck CheckModule(modComm::Link& link);
// The same, telling the version the module gave (empty when it gave none).
ModuleCheck CheckModule(modComm::Link& link, QString& version);
// "<VERS>" and the version check alone, for a module that has just answered a ping.
ModuleCheck CheckVersion(modComm::Link& link, QString& version);

} // namespace modProg
