#include "addressed_modules.h"

namespace bench {

std::optional<AddressedModules> StartAddressedModules(int count) {
    AddressedModules started;
    for (int index = 0; index < count; ++index) {
        virtual_module::VirtualModule::Options options;
        options.settings.ownAddress = QStringLiteral("0012 6f 3a %1").arg(index).toStdString();
        auto& module =
            *started.modules.emplace_back(std::make_unique<virtual_module::VirtualModule>(options));
        if (!module.start())
            return std::nullopt;
        started.portOptions << QStringLiteral("--port")
                            << QString::fromStdString(module.devicePath());
    }
    return started;
}

} // namespace bench
