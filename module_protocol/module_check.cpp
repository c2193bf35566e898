#include "module_check.h"

#include "commands.h"

#include "serial_link/port_session.h"
#include "serial_link/reply_reader.h"

namespace modProg {

bool PingModule(modComm::Link& link) {
    modComm::SendCommand(link, ComposeCommand(Command::Ping));
    return modComm::WaitForReply(link, kReadyReply);
}

ModuleCheck CheckModule(modComm::Link& link) {
    QString version;
    return CheckModule(link, version);
}

ModuleCheck CheckModule(modComm::Link& link, QString& version) {
    version.clear();
    bool answered = false;
    for (int attempt = 0; attempt < kConnectPings && !answered && !modComm::StopRequested(link);
         ++attempt)
        answered = PingModule(link);
    // A stop request sends nothing more; the caller tells it from a silent module.
    if (!answered || modComm::StopRequested(link))
        return ModuleCheck::NoReply;
    return CheckVersion(link, version);
}

ModuleCheck CheckVersion(modComm::Link& link, QString& version) {
    modComm::SendCommand(link, ComposeCommand(Command::Version));
    version = modComm::WaitForVersion(link);
    if (version == kFirmwareV11 || version == kFirmwareV20)
        return ModuleCheck::Supported;
    return ModuleCheck::InvalidFirmware;
}

} // namespace modProg
