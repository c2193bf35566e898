// What a write lays over each module's settings: the profile file and every --set, with
// their placeholders filled for that module before the values are checked.
#pragma once

#include "unit_values.h"

#include "module_profile/profile.h"

#include <QByteArray>
#include <QStringList>

#include <optional>
#include <variant>

namespace production_run {

class OverlaySource {
public:
    // Reads the profile (when a path is given); why it cannot, otherwise nothing.
    std::optional<QString> load(const QString& profilePath, const QStringList& sets);

    // The overlay for one module, with its row of a values list laid between the profile
    // and the --set values; or why its values are refused.
    std::variant<profile::ModuleSettings, QString>
    forUnit(const UnitValues& unit, const profile::ModuleSettings& valuesRow = {}) const;

    // True when a value (not a comment) holds {unit}, which only the record can fill.
    bool usesUnit() const;

    // The shortest filling any module can get: what fails with it fails for every
    // module, and is refused before a port is opened.
    std::optional<QString> checkBeforeAnyPort(int first) const;

private:
    QString m_profilePath;
    std::optional<QString> m_profileText;
    // The profile's values without its comments, where a placeholder is a use.
    QString m_profileValues;
    QStringList m_sets;
};

} // namespace production_run
