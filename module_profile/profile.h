// A module profile: the writable settings and the device facts of one module, as the
// window saves them and the command line reads and writes them, in an INI file.
#pragma once

#include "module_protocol/settings_reply.h"
#include "module_protocol/settings_write.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace profile {

// The [Module] keys in file order.
inline const QStringList kModuleKeys = {
    QStringLiteral("name"), QStringLiteral("pin"),       QStringLiteral("pin_request"),
    QStringLiteral("baud"), QStringLiteral("stop_bits"), QStringLiteral("parity"),
    QStringLiteral("role"), QStringLiteral("address"),   QStringLiteral("discoverable")};
// The [Device] keys in file order.
inline const QStringList kDeviceKeys = {QStringLiteral("address"), QStringLiteral("firmware")};

// The writable settings; a key the file does not give is absent and keeps the module's value.
struct ModuleSettings {
    std::optional<QString> name;      // at most 14 characters, taken verbatim
    std::optional<QString> pin;       // at most 8 characters, taken verbatim
    std::optional<bool> pinRequest;   // on | off
    std::optional<QString> baud;      // one of the nine cboBaud texts, e.g. "9600"
    std::optional<QString> stopBits;  // "1" | "2"
    std::optional<QString> parity;    // "N" | "O" | "E" (None/Odd/Even accepted on reading)
    std::optional<bool> master;       // role=master | slave
    std::optional<QString> address;   // "xxxx xx xx xxxx", lower-cased on reading
    std::optional<bool> discoverable; // yes | no

    bool operator==(const ModuleSettings&) const = default;
};

// What was read but cannot be written.
struct DeviceFacts {
    QString address;
    QString firmware;

    bool operator==(const DeviceFacts&) const = default;
};

struct Profile {
    ModuleSettings module;
    DeviceFacts device;

    bool operator==(const Profile&) const = default;
};

// Why a profile or a --set was refused. line is 0 for a --set value.
struct ProfileError {
    QString key;
    int line = 0;
    QString rule;

    bool operator==(const ProfileError&) const = default;
};

// One line for people, naming line, key and rule, e.g. "line 4: baud: must be one of ...".
QString DescribeProfileError(const ProfileError& error);

// A profile is a few hundred bytes; a file far larger is not one (and a device such as
// /dev/zero would never end).
inline constexpr qint64 kLargestProfile = 64 * 1024;

// The one way a profile file is read, by the window and the command line alike: at most
// kLargestProfile bytes, UTF-8 text (a byte order mark allowed) on every line, comments
// included. Why it cannot be read has line 0 and no key.
std::variant<QString, ProfileError> ReadProfileFile(const QString& path);
// Any UTF-8 text file read the same way, at most `largestBytes` (`tooLarge` tells why a
// larger one is refused), for the other files a person prepares.
std::variant<QString, ProfileError> ReadUtf8File(const QString& path, qint64 largestBytes,
                                                 const QString& tooLarge);
// The bytes as text, refusing the first line that is not UTF-8.
std::variant<QString, ProfileError> DecodeProfile(const QByteArray& bytes);

std::variant<Profile, ProfileError> ParseProfile(const QByteArray& utf8Text);
std::variant<Profile, ProfileError> ParseProfileText(const QString& text);
// The value of every key=value line as read, comments left out: the text a placeholder
// counts in. A line that does not read is left out too; parsing the profile names it.
QStringList ProfileValues(const QString& text);
QByteArray FormatProfile(const Profile& profile);

// A --set KEY=VALUE (KEY one of the [Module] keys), checked by the same rules as the file;
// the value is taken exactly as given, without quotes or escapes.
std::optional<ProfileError> SetModuleKey(ModuleSettings& settings, const QString& key,
                                         const QString& value);
// The text of a [Module] key as the file holds it, e.g. "on" or "master"; nothing when
// the key is absent.
std::optional<QString> ModuleKeyText(const ModuleSettings& settings, const QString& key);

// Everything the module reported, as a profile (every [Module] key present).
Profile ProfileFromReply(const modProg::SettingsReply& reply);
// The [Module] key of a setting that a write command carries.
QString ModuleKeyOf(modProg::Setting setting);
// The settings to send: `current` with every key present in `overlay` laid over it.
modProg::SettingsToWrite LayOver(const modProg::SettingsToWrite& current,
                                 const ModuleSettings& overlay);
// The [Module] settings that a write sends, for comparing with a later query (verification).
ModuleSettings SettingsFromWrite(const modProg::SettingsToWrite& written);

} // namespace profile
