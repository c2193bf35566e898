// A slot's port watched for a module on a link that stays open between modules: the module
// that answers is checked and read there and provisioned on the same link, so that it is
// pinged, checked and read once.
#pragma once

#include "module_profile/profile.h"
#include "module_protocol/module_check.h"
#include "platform/port_source.h"

#include <QString>

#include <memory>
#include <optional>

namespace modComm {
struct Link;
}
namespace platform {
class SerialTrace;
}

namespace production_run {

// What the watch learnt of a module that answered its ping.
struct Sighting {
    modProg::ModuleCheck check = modProg::ModuleCheck::NoReply;
    // As the module answered "<VERS>"; empty when it did not.
    QString firmware;
    // Its settings, when it gave them whole.
    std::optional<profile::Profile> profile;

    QString deviceAddress() const { return profile ? profile->device.address : QString(); }
};

class PortWatch {
public:
    // `ports` and `trace` (which may be null) must outlive the watch.
    PortWatch(const platform::PortSource& ports, QString port, platform::SerialTrace* trace);
    ~PortWatch();
    PortWatch(const PortWatch&) = delete;
    PortWatch& operator=(const PortWatch&) = delete;

    // Opens the port when it is closed: why it cannot be opened, or nothing.
    std::optional<QString> open();
    bool isOpen() const;
    void close();
    const QString& port() const { return m_port; }
    // The device the port opened.
    QString device() const;

    // One ping; an adapter pulled out closes the port, which open() then tries afresh.
    bool ping();
    // The firmware check and the settings, after a ping was answered.
    Sighting look();
    // The module's settings, when it gives them whole.
    std::optional<profile::Profile> query();

    // The open link, for the run that provisions the module on it.
    modComm::Link& link();

private:
    void closeWhenGone();

    struct Open;
    const platform::PortSource& m_ports;
    QString m_port;
    platform::SerialTrace* m_trace = nullptr;
    std::unique_ptr<Open> m_open;
};

} // namespace production_run
