#include "settings_write.h"

#include "commands.h"

#include "serial_link/port_session.h"
#include "serial_link/reply_reader.h"

namespace modProg {

QList<WriteStep> WriteSequence(const SettingsToWrite& settings) {
    QList<WriteStep> sequence = {
        {Setting::Name, ComposeCommand(ParameterCommand::Name, settings.name)},
        {Setting::PinCode, ComposeCommand(ParameterCommand::PinCode, settings.pinCode)},
        {Setting::BaudRate, ComposeCommand(ParameterCommand::BaudRate, settings.baudRate)},
        {Setting::StopBits, ComposeCommand(ParameterCommand::StopBits, settings.stopBits)},
        {Setting::Parity, ComposeCommand(ParameterCommand::Parity, settings.parityLetter)},
    };
    if (settings.master) {
        // The address goes only after the module has taken the master role.
        sequence << WriteStep{Setting::Role, ComposeCommand(Command::Master)}
                 << WriteStep{Setting::ConnectAddress,
                              ComposeCommand(ParameterCommand::Address, settings.connectAddress)};
    } else {
        sequence << WriteStep{Setting::Role, ComposeCommand(Command::Slave)};
    }
    sequence << WriteStep{Setting::Visibility,
                          ComposeCommand(settings.discoverable ? Command::Discoverable
                                                               : Command::Invisible)}
             << WriteStep{Setting::PinRequest,
                          ComposeCommand(settings.pinRequest ? Command::PinOn : Command::PinOff)};
    return sequence;
}

qsizetype WriteAcknowledged(modComm::Link& link, const SettingsToWrite& settings,
                            const WriteProgress& progress) {
    modComm::FlushInput(link);
    const QList<WriteStep> sequence = WriteSequence(settings);
    qsizetype acknowledged = 0;
    for (const WriteStep& step : sequence) {
        if (progress)
            progress(acknowledged + 1, sequence.size());
        modComm::SendCommand(link, step.command);
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
