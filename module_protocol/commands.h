// The module's command set: every command text is composed here and nowhere else.
#pragma once

#include <QString>

#include <optional>

namespace modProg {

inline const QString kReadyReply = QStringLiteral("READY");
inline const QString kAcknowledgement = QStringLiteral("OK");
inline const QString kFirmwareV11 = QStringLiteral("v1.1");
inline const QString kFirmwareV20 = QStringLiteral("v2.0");

enum class Command {
    Ping,
    Version,
    Query,
    Reset,
    Master,
    Slave,
    Discoverable,
    Invisible,
    PinOn,
    PinOff,
};

enum class ParameterCommand { Name, PinCode, BaudRate, StopBits, Parity, Address };

// The first "<", ">", "[" or "]" in a text, or nothing: these frame the commands and the
// reply tokens, so a parameter holding one would end its command or its token early.
std::optional<QChar> FirstFramingCharacter(const QString& text);

// "<KEYWORD>", nothing after the ">".
QString ComposeCommand(Command command);
// "<KEYWORD=" parameter ">", the parameter exactly as given.
QString ComposeCommand(ParameterCommand command, const QString& parameter);

} // namespace modProg
