#include "overlay_source.h"

#include <algorithm>

namespace production_run {

std::optional<QString> OverlaySource::load(const QString& profilePath, const QStringList& sets) {
    m_profilePath = profilePath;
    m_sets = sets;
    if (profilePath.isEmpty())
        return std::nullopt;
    const auto text = profile::ReadProfileFile(profilePath);
    if (const auto* error = std::get_if<profile::ProfileError>(&text))
        return profilePath + QStringLiteral(": ") + profile::DescribeProfileError(*error);
    m_profileText = std::get<QString>(text);
    m_profileValues = profile::ProfileValues(*m_profileText).join(QLatin1Char('\n'));
    return std::nullopt;
}

std::variant<profile::ModuleSettings, QString>
OverlaySource::forUnit(const UnitValues& unit, const profile::ModuleSettings& valuesRow) const {
    profile::ModuleSettings overlay;
    if (m_profileText) {
        if (const auto missing = PlaceholderWithoutValue(m_profileValues, unit))
            return m_profilePath + QStringLiteral(": ") + *missing;
        const auto parsed = profile::ParseProfileText(FillPlaceholders(*m_profileText, unit));
        if (const auto* error = std::get_if<profile::ProfileError>(&parsed))
            return m_profilePath + QStringLiteral(": ") + profile::DescribeProfileError(*error);
        overlay = std::get<profile::Profile>(parsed).module;
    }
    for (const QString& key : profile::kModuleKeys) {
        if (const auto text = profile::ModuleKeyText(valuesRow, key))
            profile::SetModuleKey(overlay, key, *text);
    }
    for (const QString& set : m_sets) {
        const qsizetype equals = set.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return QStringLiteral("--set %1: give KEY=VALUE").arg(set);
        if (const auto missing = PlaceholderWithoutValue(set.mid(equals + 1), unit))
            return QStringLiteral("--set %1: %2").arg(set.left(equals), *missing);
        const QString value = FillPlaceholders(set.mid(equals + 1), unit);
        if (const auto error = profile::SetModuleKey(overlay, set.left(equals), value))
            return QStringLiteral("--set ") + profile::DescribeProfileError(*error);
    }
    return overlay;
}

std::optional<QString> OverlaySource::checkBeforeAnyPort(int first) const {
    const auto overlay = forUnit({1, QStringLiteral("0000"), first, 1});
    if (const auto* refusal = std::get_if<QString>(&overlay))
        return *refusal;
    return std::nullopt;
}

bool OverlaySource::usesUnit() const {
    return m_profileValues.contains(kUnitPlaceholder) ||
           std::any_of(m_sets.cbegin(), m_sets.cend(), [](const QString& set) {
               return set.section(QLatin1Char('='), 1).contains(kUnitPlaceholder);
           });
}

} // namespace production_run
