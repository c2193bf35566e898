#include "values_list.h"

#include "production_record/record_row.h"

#include <QFileInfo>

namespace production_run {
namespace {

// Rows for many thousands of units; a file far larger is no values list (and a device such
// as /dev/zero would never end).
constexpr qint64 kLargestValuesList = 4 * 1024 * 1024;

} // namespace

QString RowKey(const profile::ModuleSettings& row) {
    production_record::SettingsText values;
    for (const QString& key : profile::kModuleKeys) {
        if (const auto value = profile::ModuleKeyText(row, key))
            values.insert(key, *value);
    }
    return production_record::SettingsLine(values);
}

std::optional<QStringList> SplitCsvLine(const QString& line) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype at = 0; at < line.size(); ++at) {
        const QChar c = line[at];
        if (quoted && c == QLatin1Char('"') && at + 1 < line.size() &&
            line[at + 1] == QLatin1Char('"')) {
            field += c;
            ++at;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    if (quoted)
        return std::nullopt;
    fields << field;
    return fields;
}

std::optional<QString> ValuesList::load(const QString& path) {
    const auto refuse = [&path](int line, const QString& why) {
        return QStringLiteral("values list %1: line %2: %3").arg(path).arg(line).arg(why);
    };
    const auto text = profile::ReadUtf8File(
        path, kLargestValuesList,
        QStringLiteral("It is too large to be a values list (more than 4 MiB)."));
    if (const auto* error = std::get_if<profile::ProfileError>(&text)) {
        if (error->line > 0)
            return refuse(error->line, error->rule);
        return QStringLiteral("cannot read the values list %1: %2").arg(path, error->rule);
    }
    m_name = QFileInfo(path).fileName();
    m_folder = QFileInfo(path).absolutePath();
    const QStringList lines = std::get<QString>(text).split(QLatin1Char('\n'));
    QStringList keys;
    for (int index = 0; index < lines.size(); ++index) {
        QString line = lines[index];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const std::optional<QStringList> fields = SplitCsvLine(line);
        if (!fields)
            return refuse(index + 1, QStringLiteral("a quoted field is not closed"));
        if (keys.isEmpty()) {
            keys = *fields;
            for (QString& key : keys)
                key = key.trimmed();
            for (const QString& key : keys) {
                if (!profile::kModuleKeys.contains(key) || keys.count(key) > 1)
                    return refuse(index + 1, QStringLiteral("the header must name [Module] keys, "
                                                            "each once, not \"%1\"")
                                                 .arg(key));
            }
            continue;
        }
        if (fields->size() != keys.size())
            return refuse(index + 1, QStringLiteral("%1 fields where the header names %2")
                                         .arg(fields->size())
                                         .arg(keys.size()));
        profile::ModuleSettings row;
        for (int field = 0; field < keys.size(); ++field) {
            if (fields->at(field).isEmpty())
                continue;
            if (const auto error = profile::SetModuleKey(row, keys[field], fields->at(field)))
                return refuse(index + 1, profile::DescribeProfileError(*error));
        }
        m_rows << row;
        m_keys << RowKey(row);
    }
    if (keys.isEmpty())
        return QStringLiteral("values list %1: no header line naming [Module] keys").arg(path);
    return std::nullopt;
}

} // namespace production_run
