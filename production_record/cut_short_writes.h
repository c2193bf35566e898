// The slots whose last write was cut short: a station that starts again tells the operator
// which module to put in again, as the record has it, whatever the station remembered.
#pragma once

#include "record_connection.h"

#include <QDateTime>
#include <QMap>
#include <QStringList>

#include <optional>

namespace production_record {

// Of these ports, those whose latest write on the bench ended interrupted, with that row's
// time; nothing when the record cannot be read.
std::optional<QMap<QString, QDateTime>>
WritesCutShort(RecordConnection& connection, const QString& bench, const QStringList& ports);

} // namespace production_record
