// Writing a profile: the present [Module] keys in file order, then the [Device] facts.
// A value that the reader would refuse (a module can hold a name longer than the rules
// allow) is written as it stands, after a comment saying why a write will refuse it.
#include "profile.h"
#include "value_text.h"

namespace profile {

QByteArray FormatProfile(const Profile& profile) {
    QString text = QStringLiteral("[Module]\n");
    for (const QString& key : kModuleKeys) {
        const std::optional<QString> value = ModuleKeyText(profile.module, key);
        if (!value)
            continue;
        ModuleSettings scratch;
        if (const std::optional<ProfileError> error = SetModuleKey(scratch, key, *value))
            text += QStringLiteral("; refused by write, change it first: %1\n").arg(error->rule);
        text += key + u'=' + QuoteValue(*value) + u'\n';
    }
    text += QStringLiteral("\n[Device]\n");
    text += kDeviceKeys[0] + u'=' + QuoteValue(profile.device.address) + u'\n';
    text += kDeviceKeys[1] + u'=' + QuoteValue(profile.device.firmware) + u'\n';
    return text.toUtf8();
}

} // namespace profile
