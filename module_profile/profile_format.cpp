// Writing a profile: the present [Module] keys in file order, then the [Device] facts.
#include "profile.h"
#include "value_text.h"

namespace profile {

QByteArray FormatProfile(const Profile& profile) {
    QString text = QStringLiteral("[Module]\n");
    for (const QString& key : kModuleKeys) {
        if (const std::optional<QString> value = ModuleKeyText(profile.module, key))
            text += key + u'=' + QuoteValue(*value) + u'\n';
    }
    text += QStringLiteral("\n[Device]\n");
    text += kDeviceKeys[0] + u'=' + QuoteValue(profile.device.address) + u'\n';
    text += kDeviceKeys[1] + u'=' + QuoteValue(profile.device.firmware) + u'\n';
    return text.toUtf8();
}

} // namespace profile
