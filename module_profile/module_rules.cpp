// The [Module] keys: each value checked by the window's rules, and written back as text.
#include "profile.h"

#include "module_protocol/commands.h"

#include <QRegularExpression>

namespace profile {

namespace {

constexpr qsizetype kNameLimit = 14;
constexpr qsizetype kPinLimit = 8;

const QStringList kBaudRates = {"1200",  "2400",  "4800",   "9600",  "19200",
                                "38400", "57600", "115200", "230400"};
const QStringList kStopBits = {"1", "2"};
const QStringList kParityLetters = {"N", "O", "E"};
const QStringList kParityWords = {"None", "Odd", "Even"};

QString OneOf(const QStringList& values) {
    return QStringLiteral("must be one of ") + values.join(QStringLiteral(", "));
}

// The serial link carries one byte per character: anything beyond Latin-1 would reach
// the module as "?".
std::optional<QString> CheckText(const QString& value, qsizetype limit) {
    if (value.size() > limit)
        return QStringLiteral("at most %1 characters").arg(limit);
    if (const std::optional<QChar> framing = modProg::FirstFramingCharacter(value))
        return QStringLiteral("may not hold \"%1\" (< > [ ] frame the module's commands and "
                              "replies)")
            .arg(*framing);
    for (const QChar c : value) {
        if (c.unicode() > 0xff)
            return QStringLiteral("only Latin-1 characters (the module cannot hold \"%1\")").arg(c);
    }
    return std::nullopt;
}

// The key filter and the focus-lost check of the address box together.
bool IsAddress(const QString& value) {
    static const QRegularExpression address(
        QStringLiteral("\\A[0-9a-fA-F]{4} [0-9a-fA-F]{2} [0-9a-fA-F]{2} [0-9a-fA-F]{4}\\z"));
    return address.match(value).hasMatch();
}

std::optional<bool> Switch(const QString& value, const QString& yes, const QString& no) {
    if (value == yes)
        return true;
    if (value == no)
        return false;
    return std::nullopt;
}

std::optional<QString> SwitchText(const std::optional<bool>& value, const QString& yes,
                                  const QString& no) {
    if (!value)
        return std::nullopt;
    return *value ? yes : no;
}

} // namespace

std::optional<ProfileError> SetModuleKey(ModuleSettings& settings, const QString& key,
                                         const QString& value) {
    const auto refuse = [&key](const QString& rule) { return ProfileError{key, 0, rule}; };
    const auto setSwitch = [&](std::optional<bool>& field, const QString& yes,
                               const QString& no) -> std::optional<ProfileError> {
        const std::optional<bool> setting = Switch(value, yes, no);
        if (!setting)
            return refuse(QStringLiteral("must be %1 or %2").arg(yes, no));
        field = setting;
        return std::nullopt;
    };
    const auto setListed = [&](std::optional<QString>& field,
                               const QStringList& values) -> std::optional<ProfileError> {
        if (!values.contains(value))
            return refuse(OneOf(values));
        field = value;
        return std::nullopt;
    };

    if (key == QLatin1String("name") || key == QLatin1String("pin")) {
        const bool isName = key == QLatin1String("name");
        if (const std::optional<QString> rule = CheckText(value, isName ? kNameLimit : kPinLimit))
            return refuse(*rule);
        (isName ? settings.name : settings.pin) = value;
        return std::nullopt;
    }
    if (key == QLatin1String("pin_request"))
        return setSwitch(settings.pinRequest, QStringLiteral("on"), QStringLiteral("off"));
    if (key == QLatin1String("baud"))
        return setListed(settings.baud, kBaudRates);
    if (key == QLatin1String("stop_bits"))
        return setListed(settings.stopBits, kStopBits);
    if (key == QLatin1String("parity")) {
        const qsizetype word = kParityWords.indexOf(value);
        if (word >= 0) {
            settings.parity = kParityLetters[word];
            return std::nullopt;
        }
        if (!kParityLetters.contains(value))
            return refuse(OneOf(kParityLetters + kParityWords));
        settings.parity = value;
        return std::nullopt;
    }
    if (key == QLatin1String("role"))
        return setSwitch(settings.master, QStringLiteral("master"), QStringLiteral("slave"));
    if (key == QLatin1String("address")) {
        if (!IsAddress(value))
            return refuse(QStringLiteral("must be four, two, two and four hexadecimal digits "
                                         "separated by single blanks (xxxx xx xx xxxx)"));
        settings.address = value.toLower();
        return std::nullopt;
    }
    if (key == QLatin1String("discoverable"))
        return setSwitch(settings.discoverable, QStringLiteral("yes"), QStringLiteral("no"));
    return refuse(QStringLiteral("unknown key (the keys are %1)").arg(kModuleKeys.join(u' ')));
}

std::optional<QString> ModuleKeyText(const ModuleSettings& settings, const QString& key) {
    if (key == QLatin1String("name"))
        return settings.name;
    if (key == QLatin1String("pin"))
        return settings.pin;
    if (key == QLatin1String("pin_request"))
        return SwitchText(settings.pinRequest, QStringLiteral("on"), QStringLiteral("off"));
    if (key == QLatin1String("baud"))
        return settings.baud;
    if (key == QLatin1String("stop_bits"))
        return settings.stopBits;
    if (key == QLatin1String("parity"))
        return settings.parity;
    if (key == QLatin1String("role"))
        return SwitchText(settings.master, QStringLiteral("master"), QStringLiteral("slave"));
    if (key == QLatin1String("address"))
        return settings.address;
    if (key == QLatin1String("discoverable"))
        return SwitchText(settings.discoverable, QStringLiteral("yes"), QStringLiteral("no"));
    return std::nullopt;
}

} // namespace profile
