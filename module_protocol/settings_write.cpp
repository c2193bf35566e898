#include "settings_write.h"

#include "commands.h"

#include "serial_link/port_session.h"
#include "serial_link/reply_reader.h"

namespace modProg {

QStringList WriteSequence(const SettingsToWrite& settings) {
    QStringList sequence = {
        ComposeCommand(ParameterCommand::Name, settings.name),
        ComposeCommand(ParameterCommand::PinCode, settings.pinCode),
        ComposeCommand(ParameterCommand::BaudRate, settings.baudRate),
        ComposeCommand(ParameterCommand::StopBits, settings.stopBits),
        ComposeCommand(ParameterCommand::Parity, settings.parityLetter),
    };
    if (settings.master) {
        // The address goes only after the module has taken the master role.
        sequence << ComposeCommand(Command::Master)
                 << ComposeCommand(ParameterCommand::Address, settings.connectAddress);
    } else {
        sequence << ComposeCommand(Command::Slave);
    }
    sequence << ComposeCommand(settings.discoverable ? Command::Discoverable : Command::Invisible)
             << ComposeCommand(settings.pinRequest ? Command::PinOn : Command::PinOff);
    return sequence;
}

qsizetype WriteAcknowledged(modComm::Link& link, const SettingsToWrite& settings,
                            const WriteProgress& progress) {
    modComm::FlushInput(link);
    const QStringList sequence = WriteSequence(settings);
    qsizetype acknowledged = 0;
    for (const QString& command : sequence) {
        // A stop request leaves the module with the commands acknowledged so far.
        if (modComm::StopRequested(link))
            break;
        if (progress)
            progress(acknowledged + 1, sequence.size());
        modComm::SendCommand(link, command);
        const modComm::WaitsToTheirEnd toTheEnd(link);
        if (!modComm::WaitForReply(link, kAcknowledgement))
            break;
        ++acknowledged;
    }
    return acknowledged;
}

bool WriteSettings(modComm::Link& link, const SettingsToWrite& settings) {
    return WriteAcknowledged(link, settings) == WriteSequence(settings).size();
}

} // namespace modProg
