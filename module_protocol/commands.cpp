#include "commands.h"

namespace modProg {
namespace {

QLatin1String Keyword(Command command) {
    switch (command) {
    case Command::Ping:
        return QLatin1String("PING");
    case Command::Version:
        return QLatin1String("VERS");
    case Command::Query:
        return QLatin1String("QUERY");
    case Command::Reset:
        return QLatin1String("RESET");
    case Command::Master:
        return QLatin1String("MASTER");
    case Command::Slave:
        return QLatin1String("SLAVE");
    case Command::Discoverable:
        return QLatin1String("DISCOVERABLE");
    case Command::Invisible:
        return QLatin1String("INVISIBLE");
    case Command::PinOn:
        return QLatin1String("PIN_ON");
    case Command::PinOff:
        return QLatin1String("PIN_OFF");
    }
    Q_UNREACHABLE();
}

QLatin1String Keyword(ParameterCommand command) {
    switch (command) {
    case ParameterCommand::Name:
        return QLatin1String("NAME");
    case ParameterCommand::PinCode:
        return QLatin1String("PKEY");
    case ParameterCommand::BaudRate:
        return QLatin1String("BAUD");
    case ParameterCommand::StopBits:
        return QLatin1String("SBIT");
    case ParameterCommand::Parity:
        return QLatin1String("PRTY");
    case ParameterCommand::Address:
        return QLatin1String("ADDR");
    }
    Q_UNREACHABLE();
}

} // namespace

QString ComposeCommand(Command command) {
    return QLatin1Char('<') + Keyword(command) + QLatin1Char('>');
}

QString ComposeCommand(ParameterCommand command, const QString& parameter) {
    return QLatin1Char('<') + Keyword(command) + QLatin1Char('=') + parameter + QLatin1Char('>');
}

std::optional<QChar> FirstFramingCharacter(const QString& text) {
    for (const QChar c : text) {
        if (c == u'<' || c == u'>' || c == u'[' || c == u']')
            return c;
    }
    return std::nullopt;
}

} // namespace modProg
