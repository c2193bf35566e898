#include "driver_warnings.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace production_record {
namespace {

QtMessageHandler s_previous = nullptr;

bool FromADriver(const QString& message) {
    static const QStringList beginnings = {
        QStringLiteral("Unable to free statement"), QStringLiteral("QPSQLDriver::"),
        QStringLiteral("QSQLiteDriver::"), QStringLiteral("QSqlQuery::exec: database not open"),
        QStringLiteral("QSqlQuery::prepare: database not open")};
    for (const QString& beginning : beginnings) {
        if (message.startsWith(beginning))
            return true;
    }
    return false;
}

void DropDriverWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && FromADriver(message))
        return;
    if (s_previous)
        s_previous(type, context, message);
}

} // namespace

void QuietDriverWarnings() {
    s_previous = qInstallMessageHandler(DropDriverWarnings);
}

} // namespace production_record
