#include "record_spool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <chrono>

namespace production_record {
namespace {

constexpr std::chrono::seconds kLockWait{10};

QString LockFailure(const QString& path) {
    return QStringLiteral("the spool %1 is locked by another run").arg(path);
}

} // namespace

QString SpoolPath(const QString& logPath) {
    if (!logPath.isEmpty())
        return logPath + QStringLiteral(".record-spool");
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/record-spool.jsonl");
}

std::optional<QString> RecordSpool::keep(const QString& targetKey, const RecordRow& row) {
    std::lock_guard guard(m_mutex);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWait))
        return LockFailure(m_path);
    QFile file(m_path);
    QJsonObject line = RowJson(row);
    line.insert(QStringLiteral("target"), targetKey);
    const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size() ||
        !file.flush())
        return QStringLiteral("cannot keep the row in the spool %1: %2")
            .arg(m_path, file.errorString());
    return std::nullopt;
}

std::variant<int, QString> RecordSpool::replay(RecordConnection& connection) {
    std::lock_guard guard(m_mutex);
    if (!QFileInfo::exists(m_path))
        return 0;
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWait))
        return LockFailure(m_path);
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the spool %1: %2").arg(m_path, file.errorString());
    QList<QByteArray> others;
    QList<RecordRow> rows;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        const std::optional<RecordRow> row = RowFromJson(object);
        if (row && object.value(QStringLiteral("target")).toString() == connection.target().key)
            rows << *row;
        else if (!line.trimmed().isEmpty())
            others << line;
    }
    file.close();
    if (rows.isEmpty())
        return 0;
    if (const auto error = InsertRows(connection, rows))
        return *error;
    // A row written again next time (when the file cannot be rewritten) is stored once.
    if (others.isEmpty()) {
        QFile::remove(m_path);
        return static_cast<int>(rows.size());
    }
    QSaveFile rest(m_path);
    if (rest.open(QIODevice::WriteOnly)) {
        for (const QByteArray& line : others)
            rest.write(line + '\n');
        rest.commit();
    }
    return static_cast<int>(rows.size());
}

} // namespace production_record
