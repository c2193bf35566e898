#include "port_watch.h"

#include "stderr_message_box.h"

#include "module_protocol/settings_reply.h"
#include "platform/port_names.h"
#include "platform/qt_pacing.h"
#include "platform/qt_settings_store.h"
#include "platform/tracing_serial_port.h"
#include "serial_link/port_session.h"

namespace production_run {

// The port and its link, opened on the slot's own thread.
struct PortWatch::Open {
    Open(const platform::PortSource& ports, const QString& name, platform::SerialTrace* trace)
        : port(ports.make(name, settings)),
          traced(trace ? std::make_unique<platform::TracingSerialPort>(*port, *trace) : nullptr),
          link{platform, {}, modComm::WaitStyle::OnData} {}

    platform::SerialPort& used() { return traced ? *traced : *port; }

    platform::QtSettingsStore settings;
    std::unique_ptr<platform::SerialPort> port;
    std::unique_ptr<platform::TracingSerialPort> traced;
    StderrMessageBox messages;
    platform::QtPacing pacing;
    platform::Platform platform{used(), settings, messages, pacing};
    // Its waits run to their end (half a second at most) rather than waking every 100 ms to
    // look for a stop: many waiting slots stay cheap.
    modComm::Link link;
};

PortWatch::PortWatch(const platform::PortSource& ports, QString port, platform::SerialTrace* trace)
    : m_ports(ports), m_port(std::move(port)), m_trace(trace) {}

PortWatch::~PortWatch() {
    close();
}

std::optional<QString> PortWatch::open() {
    if (m_open)
        return std::nullopt;
    m_open = std::make_unique<Open>(m_ports, m_port, m_trace);
    if (modComm::OpenLine(m_open->link, platform::PortNumberOf(m_port)))
        return std::nullopt;
    const QString why = m_open->port->errorDescription();
    m_open.reset();
    return why;
}

bool PortWatch::isOpen() const {
    return m_open != nullptr;
}

void PortWatch::close() {
    if (!m_open)
        return;
    modComm::ClosePort(m_open->link);
    m_open.reset();
}

QString PortWatch::device() const {
    return m_open ? m_open->port->openedDevice() : QString();
}

modComm::Link& PortWatch::link() {
    return m_open->link;
}

void PortWatch::closeWhenGone() {
    if (m_open && !m_open->port->isOpen())
        close();
}

bool PortWatch::ping() {
    if (!m_open)
        return false;
    const bool answered = modProg::PingModule(m_open->link);
    closeWhenGone();
    return answered;
}

Sighting PortWatch::look() {
    Sighting seen;
    if (!m_open)
        return seen;
    seen.check = modProg::CheckVersion(m_open->link, seen.firmware);
    closeWhenGone();
    // A module of the wrong firmware is read too: its address tells it from the next.
    seen.profile = query();
    return seen;
}

std::optional<profile::Profile> PortWatch::query() {
    if (!m_open)
        return std::nullopt;
    const modProg::SettingsReply reply = modProg::ReadSettingsReply(m_open->link);
    closeWhenGone();
    if (reply.fieldsReceived < modProg::kFieldCount || modProg::ReplyDamage(reply))
        return std::nullopt;
    return profile::ProfileFromReply(reply);
}

} // namespace production_run
