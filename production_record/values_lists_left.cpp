#include "values_lists_left.h"

#include "record_schema.h"

#include <QSqlError>
#include <QSqlQuery>

#include <map>

namespace production_record {
namespace {

// The layout that first knew values rows by their values, not by their line.
constexpr int kValuesByKeyLayout = 2;

bool Run(QSqlQuery& query, const QString& statement) {
    query.setForwardOnly(true);
    return query.exec(statement);
}

// Two lists of one file name read as their folders, or else as when each was first used.
void TellApart(QList<ValuesListLeft>& lists, const QList<QDateTime>& firstUsed) {
    std::map<QString, QList<qsizetype>> byName;
    for (qsizetype index = 0; index < lists.size(); ++index)
        byName[lists[index].list] << index;
    for (const auto& [name, indexes] : byName) {
        if (indexes.size() < 2)
            continue;
        std::map<QString, int> perFolder;
        for (const qsizetype index : indexes)
            ++perFolder[lists[index].folder];
        for (const qsizetype index : indexes) {
            ValuesListLeft& list = lists[index];
            const QString folder = list.folder;
            if (perFolder.size() > 1 && !folder.isEmpty())
                list.list = QStringLiteral("%1 in %2").arg(name, folder);
            if (perFolder[folder] > 1 && firstUsed[index].isValid())
                list.list += QStringLiteral(" (first used %1)")
                                 .arg(firstUsed[index].toLocalTime().toString(
                                     QStringLiteral("yyyy-MM-dd HH:mm")));
        }
    }
}

} // namespace

std::optional<QString> CountListsLeft(RecordConnection& connection, int layout,
                                      QList<ValuesListLeft>& lists) {
    // The first layout knew values rows by line only, and a reader leaves it so.
    if (layout < kValuesByKeyLayout)
        return std::nullopt;
    QSqlQuery query(connection.database());
    QList<QDateTime> firstUsed;
    if (layout >= kValuesContentLayout) {
        if (!Run(query,
                 QStringLiteral("SELECT f.file_name, f.folder, f.bench, f.first_used, f.last_used, "
                                "count(c.row_key), count(g.row_key) FROM values_files AS f JOIN "
                                "values_contents AS c ON c.content_key = f.content_key LEFT JOIN "
                                "values_given AS g ON g.row_key = c.row_key GROUP BY f.file_name, "
                                "f.content_key, f.folder, f.bench, f.first_used, f.last_used ORDER "
                                "BY f.file_name, f.first_used")))
            return connection.failure(query.lastError());
        while (query.next()) {
            ValuesListLeft list;
            list.list = query.value(0).toString();
            list.folder = query.value(1).toString();
            list.bench = query.value(2).toString();
            firstUsed << QDateTime::fromString(query.value(3).toString(), Qt::ISODateWithMs);
            list.lastUsed = QDateTime::fromString(query.value(4).toString(), Qt::ISODateWithMs);
            list.rows = query.value(5).toInt();
            list.given = query.value(6).toInt();
            lists << list;
        }
    }
    // Lists an older cordelo-cli used, and not used since, are known by their name alone:
    // their rows given are those given from a list of that name.
    std::map<QString, ValuesListLeft> byName;
    if (layout >= kMessageLayout) {
        if (!Run(query, QStringLiteral("SELECT list, list_rows FROM values_lists")))
            return connection.failure(query.lastError());
        while (query.next())
            byName[query.value(0).toString()].rows = query.value(1).toInt();
    }
    const QString named = layout >= kValuesContentLayout
                              ? QStringLiteral("SELECT list, count(*) FROM values_given WHERE list "
                                               "NOT IN (SELECT file_name FROM values_files) GROUP "
                                               "BY list")
                              : QStringLiteral("SELECT list, count(*) FROM values_given GROUP BY "
                                               "list");
    if (!Run(query, named))
        return connection.failure(query.lastError());
    while (query.next())
        byName[query.value(0).toString()].given = query.value(1).toInt();
    for (auto& [name, list] : byName) {
        list.list = name;
        lists << list;
        firstUsed << QDateTime();
    }
    TellApart(lists, firstUsed);
    return std::nullopt;
}

std::variant<QList<ValuesListLeft>, QString> ListValuesLeft(RecordConnection& connection) {
    const auto layout = ReadableLayout(connection);
    if (const auto* error = std::get_if<QString>(&layout))
        return *error;
    QList<ValuesListLeft> lists;
    if (const auto error = CountListsLeft(connection, std::get<int>(layout), lists))
        return *error;
    return lists;
}

} // namespace production_record
