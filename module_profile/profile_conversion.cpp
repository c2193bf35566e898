// Between profiles and the module protocol: a settings reply as a profile, and a profile
// laid over the settings that a write sends.
#include "profile.h"

namespace profile {

Profile ProfileFromReply(const modProg::SettingsReply& reply) {
    using modProg::Field;
    Profile profile;
    ModuleSettings& module = profile.module;
    module.name = reply[Field::Name];
    module.pin = reply[Field::PinCode];
    module.pinRequest = reply[Field::PinRequest] != modProg::kPinOff;
    module.baud = reply[Field::BaudRate];
    module.stopBits = reply[Field::StopBits];
    module.parity = reply[Field::Parity];
    module.master = reply[Field::Role] == modProg::kMasterRole;
    // The window shows the placeholder for a module that reports no address.
    module.address =
        reply[Field::ConnectAddress].isEmpty() ? modProg::kNoAddress : reply[Field::ConnectAddress];
    module.discoverable = reply[Field::Visibility] != modProg::kInvisible;
    profile.device.address = reply[Field::DeviceAddress];
    profile.device.firmware = reply[Field::Firmware];
    return profile;
}

QString ModuleKeyOf(modProg::Setting setting) {
    using modProg::Setting;
    switch (setting) {
    case Setting::Name:
        return QStringLiteral("name");
    case Setting::PinCode:
        return QStringLiteral("pin");
    case Setting::BaudRate:
        return QStringLiteral("baud");
    case Setting::StopBits:
        return QStringLiteral("stop_bits");
    case Setting::Parity:
        return QStringLiteral("parity");
    case Setting::Role:
        return QStringLiteral("role");
    case Setting::ConnectAddress:
        return QStringLiteral("address");
    case Setting::Visibility:
        return QStringLiteral("discoverable");
    case Setting::PinRequest:
        return QStringLiteral("pin_request");
    }
    return {};
}

modProg::SettingsToWrite LayOver(const modProg::SettingsToWrite& current,
                                 const ModuleSettings& overlay) {
    modProg::SettingsToWrite settings = current;
    settings.name = overlay.name.value_or(settings.name);
    settings.pinCode = overlay.pin.value_or(settings.pinCode);
    settings.pinRequest = overlay.pinRequest.value_or(settings.pinRequest);
    settings.baudRate = overlay.baud.value_or(settings.baudRate);
    settings.stopBits = overlay.stopBits.value_or(settings.stopBits);
    settings.parityLetter = overlay.parity.value_or(settings.parityLetter);
    settings.master = overlay.master.value_or(settings.master);
    settings.connectAddress = overlay.address.value_or(settings.connectAddress);
    settings.discoverable = overlay.discoverable.value_or(settings.discoverable);
    return settings;
}

ModuleSettings SettingsFromWrite(const modProg::SettingsToWrite& written) {
    ModuleSettings settings;
    settings.name = written.name;
    settings.pin = written.pinCode;
    settings.pinRequest = written.pinRequest;
    settings.baud = written.baudRate;
    settings.stopBits = written.stopBits;
    settings.parity = written.parityLetter;
    settings.master = written.master;
    // The address is sent only in the master role.
    if (written.master)
        settings.address = written.connectAddress;
    settings.discoverable = written.discoverable;
    return settings;
}

} // namespace profile
