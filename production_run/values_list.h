// A list of per-unit values prepared in advance: a CSV file whose header names [Module]
// keys and whose every row holds one unit's values, given to one module only.
#pragma once

#include "module_profile/profile.h"

#include <QList>
#include <QString>

#include <optional>

namespace production_run {

class ValuesList {
public:
    // Reads and checks every row by the profile's rules; why the file is refused, or nothing.
    std::optional<QString> load(const QString& path);

    // The list as the record knows it: its file name, so each bench may keep its own copy.
    QString name() const { return m_name; }
    // Where it was read from, which tells two lists of one name apart.
    QString folder() const { return m_folder; }
    int size() const { return static_cast<int>(m_rows.size()); }
    // Counted from 1; an empty field leaves that key as the profile or the module has it.
    const profile::ModuleSettings& row(int number) const { return m_rows.at(number - 1); }
    // Each row as the record knows it, by its values, in file order: a row keeps its key
    // when the list is sorted, edited or renamed.
    const QStringList& keys() const { return m_keys; }

private:
    QString m_name;
    QString m_folder;
    QList<profile::ModuleSettings> m_rows;
    QStringList m_keys;
};

// "name=Unit-7;pin=1234": the row's values as a settings line, whose encoding of ; = % keeps
// two different rows from sharing a key.
QString RowKey(const profile::ModuleSettings& row);

// The fields of one CSV line (RFC 4180 quoting), or nothing when a quote is left open.
std::optional<QStringList> SplitCsvLine(const QString& line);

} // namespace production_run
