#include "record_spool.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <chrono>

namespace production_record {
namespace {

constexpr std::chrono::seconds kLockWait{10};

QString LockFailure(const QString& path) {
    return QStringLiteral("the spool %1 is locked by another run").arg(path);
}

QString DataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

struct SpoolLines {
    QList<RecordRow> rows;
    QList<QByteArray> others;
    QList<QByteArray> torn;
};

SpoolLines ReadLines(const QByteArray& bytes, const QString& targetKey) {
    SpoolLines lines;
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        const std::optional<RecordRow> row = RowFromJson(object);
        if (!row)
            lines.torn << line;
        else if (object.value(QStringLiteral("target")).toString() == targetKey)
            lines.rows << *row;
        else
            lines.others << line;
    }
    return lines;
}

} // namespace

QString SpoolPath(const RecordTarget& target) {
    const QString readable =
        target.kind == RecordTarget::Kind::SqliteFile
            ? QFileInfo(target.database).completeBaseName()
            : target.host.section(QLatin1Char('/'), -1) + QLatin1Char('-') + target.database;
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(target.key.toUtf8(), QCryptographicHash::Sha256).toHex().left(12));
    return DataFolder() + QStringLiteral("/record-spool/") +
           QString(readable).replace(unsafe, QStringLiteral("_")) + QLatin1Char('-') + hash +
           QStringLiteral(".jsonl");
}

QString FormerSpoolPath(const QString& logPath) {
    if (!logPath.isEmpty())
        return logPath + QStringLiteral(".record-spool");
    return DataFolder() + QStringLiteral("/record-spool.jsonl");
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
    QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return QStringLiteral("cannot keep the row in the spool %1: %2")
            .arg(m_path, file.errorString());
    // A line cut short by an earlier crash ends here, so that this row starts a line of its
    // own instead of being glued to it.
    if (file.size() > 0 && file.seek(file.size() - 1) && file.read(1) != "\n")
        bytes.prepend('\n');
    if (file.write(bytes) != bytes.size() || !file.flush())
        return QStringLiteral("cannot keep the row in the spool %1: %2")
            .arg(m_path, file.errorString());
    return std::nullopt;
}

std::variant<RecordSpool::Replayed, QString> RecordSpool::replay(RecordConnection& connection) {
    std::lock_guard guard(m_mutex);
    if (!QFileInfo::exists(m_path))
        return Replayed{};
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWait))
        return LockFailure(m_path);
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the spool %1: %2").arg(m_path, file.errorString());
    const SpoolLines lines = ReadLines(file.readAll(), connection.target().key);
    file.close();
    if (lines.rows.isEmpty() && lines.torn.isEmpty())
        return Replayed{};
    if (!lines.rows.isEmpty()) {
        if (const auto error = InsertRows(connection, lines.rows))
            return *error;
    }
    QFile torn(tornPath());
    if (!lines.torn.isEmpty() && torn.open(QIODevice::WriteOnly | QIODevice::Append)) {
        for (const QByteArray& line : lines.torn)
            torn.write(line + '\n');
        torn.close();
    }
    // A row written again next time (when the file cannot be rewritten) is stored once.
    if (lines.others.isEmpty()) {
        QFile::remove(m_path);
    } else {
        QSaveFile rest(m_path);
        if (rest.open(QIODevice::WriteOnly)) {
            for (const QByteArray& line : lines.others)
                rest.write(line + '\n');
            rest.commit();
        }
    }
    return Replayed{static_cast<int>(lines.rows.size()), static_cast<int>(lines.torn.size())};
}

int RecordSpool::waiting(const QString& targetKey) {
    std::lock_guard guard(m_mutex);
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return static_cast<int>(ReadLines(file.readAll(), targetKey).rows.size());
}

} // namespace production_record
