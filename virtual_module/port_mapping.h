// The [Ports] COMn entry of the per-user settings store, through which the tool
// finds the module's device; recorded on start and put back on exit.
#pragma once

#include <QString>

#include <optional>

namespace virtual_module {

inline const QString kSettingsApplication = QStringLiteral("Cordelo Setup");

// "Ports/COM1" for port 1.
QString PortMappingKey(int comPort);
// The device recorded for COMn, if any.
std::optional<QString> MappedDevice(int comPort);
// Where the settings store keeps its file, for messages.
QString SettingsLocation();

class PortMapping {
public:
    enum class Restored { NothingRecorded, PreviousPutBack, KeyRemoved, ChangedByOthers };

    PortMapping() = default;
    ~PortMapping();
    PortMapping(const PortMapping&) = delete;
    PortMapping& operator=(const PortMapping&) = delete;

    // Maps COMn to the device, remembering what was there before. False when the
    // store could not be written.
    bool record(int comPort, const QString& device);
    // Puts back the entry as it was before record(): the old device, or no key. An
    // entry that someone else changed since is left alone.
    Restored restore();

    int comPort() const { return m_comPort; }
    const std::optional<QString>& previous() const { return m_previous; }

private:
    bool m_recorded = false;
    int m_comPort = 0;
    QString m_device;
    std::optional<QString> m_previous;
};

} // namespace virtual_module
