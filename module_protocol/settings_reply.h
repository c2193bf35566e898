// Reading the module's settings: "<QUERY>" and its twelve reply fields by position.
#pragma once

#include "serial_link/link.h"

#include <QString>

#include <array>
#include <chrono>
#include <optional>

namespace modProg {

inline constexpr std::chrono::milliseconds kQueryPause{400};
// When a field has not arrived whole, it is read again this often, for at most this
// much longer over the whole reply: a late token must not shift every later field.
inline constexpr std::chrono::milliseconds kFieldRetryPeriod{100};
inline constexpr std::chrono::milliseconds kQueryGrace{500};

enum class Field {
    Name,
    PinCode,
    BaudRate,
    StopBits,
    Parity,
    Role,
    ConnectAddress,
    DeviceAddress,
    Unused,
    Visibility,
    PinRequest,
    Firmware,
};
inline constexpr int kFieldCount = 12;

struct SettingsReply {
    std::array<QString, kFieldCount> fields;
    // How many fields arrived whole; the others read as empty.
    int fieldsReceived = 0;

    const QString& operator[](Field field) const { return fields[static_cast<int>(field)]; }
};

inline const QString kMasterRole = QStringLiteral("MASTER");
inline const QString kSlaveRole = QStringLiteral("SLAVE");
inline const QString kDiscoverable = QStringLiteral("DISCOVERABLE");
inline const QString kInvisible = QStringLiteral("INVISIBLE");
inline const QString kPinOn = QStringLiteral("PIN_ON");
inline const QString kPinOff = QStringLiteral("PIN_OFF");
inline const QString kNoAddress = QStringLiteral("0000 00 00 0000");

// Flushes, sends "<QUERY>", pauses without handling events, and reads the twelve
// fields; a field that never arrives reads as empty.
SettingsReply ReadSettingsReply(modComm::Link& link);

// Why the twelve fields do not read as settings (a baud rate that is no number, a role
// that is neither master nor slave, ...), which happens when a token was lost or split;
// nothing for a reply that reads as settings.
std::optional<QString> ReplyDamage(const SettingsReply& reply);

// The list positions that a reply value selects, or nothing for a value the list
// does not hold.
std::optional<int> BaudRateIndex(const QString& value);
std::optional<int> StopBitsIndex(const QString& value);
std::optional<int> ParityIndex(const QString& value);

} // namespace modProg
