#include "port_session.h"

#include "token_scanner.h"

namespace modComm {

bool OpenLine(Link& link, int portNumber) {
    platform::SerialPort& port = link.platform.port;
    port.setCommPort(portNumber);
    port.setSettings(kLineSettings);
    port.setRtsEnable(true);
    port.setInputLen(0);
    if (!port.open())
        return false;

    // A new connection starts from a clean line: whatever an earlier connection or a
    // flooding device left behind is no reply to anything this one sends, and a long
    // backlog of stale tokens would starve every wait for minutes.
    port.discardInput();
    link.rx = ReceiveState{};
    return true;
}

bool OpenPort(Link& link, int portNumber) {
    platform::SerialPort& port = link.platform.port;
    if (port.isOpen())
        return true;

    if (!OpenLine(link, portNumber)) {
        const QString message = QStringLiteral("Error while opening COM%1 !\r\n%2")
                                    .arg(port.commPort())
                                    .arg(port.errorDescription());
        link.platform.messages.show(platform::MessageIcon::Critical, message);
        return false;
    }

    // A store that cannot be written must not turn a good open into a failure.
    link.platform.settings.setValue(kPropertiesSection, kCommPortKey,
                                    QString::number(port.commPort()));
    link.platform.settings.setValue(kPropertiesSection, kCommDeviceKey, port.openedDevice());
    return true;
}

void ClosePort(Link& link) {
    if (link.platform.port.isOpen())
        link.platform.port.close();
}

void FlushInput(Link& link) {
    link.platform.port.discardInput();
    DiscardUnscanned(link.rx);
}

void SendCommand(Link& link, const QString& command) {
    if (link.platform.port.isOpen())
        link.platform.port.write(command.toLatin1());
}

} // namespace modComm
