// Virtual modules inside the bench process, each with an address of its own, for the measures
// that give every module its own unit in the record.
#pragma once

#include "virtual_module/virtual_module.h"

#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace bench {

struct AddressedModules {
    std::vector<std::unique_ptr<virtual_module::VirtualModule>> modules;
    // "--port DEVICE" for each, as cordelo-cli takes them.
    QStringList portOptions;
};

// Nothing when one of them did not start.
std::optional<AddressedModules> StartAddressedModules(int count);

} // namespace bench
