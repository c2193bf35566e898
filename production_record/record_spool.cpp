#include "record_spool.h"

#include "label_rows.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>
#include <chrono>

namespace production_record {
namespace {

// Another run holds the lock only while it writes a line or rewrites the file.
constexpr std::chrono::seconds kLockWait{2};

QString LockFailure(const QString& path) {
    return QStringLiteral("the spool %1 is locked by another run").arg(path);
}

// The folder every program keeps the spools in: cordelo-cli's own, where earlier versions of
// it kept them, so that a station and a command line on one record share one spool.
QString SharedDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/cordelo-cli");
}

QString ProgramDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

QString SpoolIn(const QString& folder, const RecordTarget& target) {
    const QString readable =
        target.kind == RecordTarget::Kind::SqliteFile
            ? QFileInfo(target.database).completeBaseName()
            : target.host.section(QLatin1Char('/'), -1) + QLatin1Char('-') + target.database;
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(target.key.toUtf8(), QCryptographicHash::Sha256).toHex().left(12));
    return folder + QStringLiteral("/record-spool/") +
           QString(readable).replace(unsafe, QStringLiteral("_")) + QLatin1Char('-') + hash +
           QStringLiteral(".jsonl");
}

// A line holds a module's row, or a label row under "label" with an id of the line's own.
// A label line has no "row_id", so that a program from before label rows sets it aside as a
// line cut short (in the .torn file), and keeps the module rows beside it as they are.
struct SpoolLine {
    QByteArray text;
    // Nothing for a line that is no row.
    std::optional<RecordRow> row;
    std::optional<LabelRow> label;
    QString labelId;
    QString target;

    bool holdsARow() const { return row || label; }
    const QString& id() const { return row ? row->rowId : labelId; }
};

QList<SpoolLine> ReadLines(const QString& path) {
    QFile file(path);
    QList<SpoolLine> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& text : file.readAll().split('\n')) {
        if (text.trimmed().isEmpty())
            continue;
        const QJsonObject object = QJsonDocument::fromJson(text).object();
        SpoolLine line{text, RowFromJson(object), std::nullopt,
                       object.value(QStringLiteral("label_id")).toString(),
                       object.value(QStringLiteral("target")).toString()};
        if (!line.row && !line.labelId.isEmpty())
            line.label = LabelRowFromJson(object.value(QStringLiteral("label")).toObject());
        lines << line;
    }
    return lines;
}

void Append(const QString& path, const QList<QByteArray>& lines) {
    if (lines.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    for (const QByteArray& line : lines)
        file.write(line + '\n');
}

QByteArray LineOf(const QString& targetKey, QJsonObject line) {
    line.insert(QStringLiteral("target"), targetKey);
    return QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
}

// The line as set aside, with why the record refused it.
QByteArray RefusedLine(const QByteArray& line, const QString& why) {
    QJsonObject object = QJsonDocument::fromJson(line).object();
    object.insert(QStringLiteral("refused"), why);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QString SpoolPath(const RecordTarget& target) {
    return SpoolIn(SharedDataFolder(), target);
}

QStringList FormerSpoolPaths(const QString& logPath, const RecordTarget& target) {
    QStringList paths;
    if (!logPath.isEmpty())
        paths << logPath + QStringLiteral(".record-spool");
    paths << ProgramDataFolder() + QStringLiteral("/record-spool.jsonl");
    const QString ownSpool = SpoolIn(ProgramDataFolder(), target);
    if (ownSpool != SpoolPath(target))
        paths << ownSpool;
    return paths;
}

QStringList RecordSpool::sideFiles() const {
    const QFileInfo spool(m_path);
    QStringList paths;
    for (const QString& name :
         spool.dir().entryList({spool.fileName() + QStringLiteral(".row-*")}, QDir::Files))
        paths << spool.dir().filePath(name);
    return paths;
}

std::optional<QString> RecordSpool::keep(const QString& targetKey, const RecordRow& row) {
    return keepLine(LineOf(targetKey, RowJson(row)), row.rowId);
}

std::optional<QString> RecordSpool::keep(const QString& targetKey, const LabelRow& label) {
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QJsonObject line{{QStringLiteral("label"), LabelRowJson(label)},
                           {QStringLiteral("label_id"), id}};
    return keepLine(LineOf(targetKey, line), QStringLiteral("label-") + id);
}

std::optional<QString> RecordSpool::keepLine(const QByteArray& line, const QString& id) {
    std::lock_guard guard(m_mutex);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const auto failed = [this](const QFileDevice& file) {
        return QStringLiteral("cannot keep the row in the spool %1: %2")
            .arg(m_path, file.errorString());
    };
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWait)) {
        QSaveFile own(m_path + QStringLiteral(".row-") + id);
        if (!own.open(QIODevice::WriteOnly) || own.write(line) != line.size() || !own.commit())
            return failed(own);
        return std::nullopt;
    }
    QFile file(m_path);
    QByteArray bytes = line;
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return failed(file);
    // A line cut short by an earlier crash ends here, so that this row starts a line of its
    // own instead of being glued to it.
    if (file.size() > 0 && file.seek(file.size() - 1) && file.read(1) != "\n")
        bytes.prepend('\n');
    if (file.write(bytes) != bytes.size() || !file.flush())
        return failed(file);
    return std::nullopt;
}

std::variant<RecordSpool::Replayed, QString> RecordSpool::replay(RecordConnection& connection) {
    const QString& targetKey = connection.target().key;
    QList<RecordRow> rows;
    QStringList rowIds;
    QList<LabelRow> labels;
    QStringList labelIds;
    QStringList sides;
    bool torn = false;
    {
        std::lock_guard guard(m_mutex);
        sides = sideFiles();
        if (!QFileInfo::exists(m_path) && sides.isEmpty())
            return Replayed{};
        QLockFile lock(m_path + QStringLiteral(".lock"));
        if (!lock.tryLock(kLockWait))
            return LockFailure(m_path);
        QList<SpoolLine> lines = ReadLines(m_path);
        for (const QString& side : sides)
            lines << ReadLines(side);
        for (const SpoolLine& line : lines) {
            torn = torn || !line.holdsARow();
            if (line.target != targetKey)
                continue;
            if (line.row) {
                rows << *line.row;
                rowIds << line.id();
            } else if (line.label) {
                labels << *line.label;
                labelIds << line.id();
            }
        }
    }
    if (rows.isEmpty() && labels.isEmpty() && !torn)
        return Replayed{};
    // The record is waited for without the lock, so that other runs keep their rows meanwhile.
    Replayed replayed;
    QSet<QString> stored;
    QHash<QString, QString> refused;
    // Why a row was neither stored nor refused: the record takes none now.
    std::optional<QString> unstored;
    const auto note = [&](const QList<RowStored>& results, const QStringList& ids) {
        for (qsizetype index = 0; index < ids.size(); ++index) {
            if (!results[index].error)
                stored.insert(ids[index]);
            else if (results[index].refused)
                refused.insert(ids[index], *results[index].error);
            else
                unstored = results[index].error;
        }
    };
    if (!rows.isEmpty())
        note(StoreRows(connection, rows), rowIds);
    // A unit's rows come first: its label rows wait while a module row does.
    if (!labels.isEmpty() && !unstored)
        note(StoreLabelRows(connection, labels), labelIds);
    if (stored.isEmpty() && refused.isEmpty() && unstored)
        return *unstored;
    std::lock_guard guard(m_mutex);
    QLockFile lock(m_path + QStringLiteral(".lock"));
    // The rows stored stay in the file for the next replay, which stores them once.
    if (!lock.tryLock(kLockWait))
        return LockFailure(m_path);
    QList<QByteArray> kept;
    QList<QByteArray> cutShort;
    QList<QByteArray> setAside;
    // What becomes of a line: false when it leaves the file.
    const auto stays = [&](const SpoolLine& line) {
        if (!line.holdsARow()) {
            cutShort << line.text;
            return false;
        }
        if (line.target != targetKey)
            return true;
        const QString& id = line.id();
        if (stored.contains(id))
            return false;
        if (!refused.contains(id))
            return true;
        setAside << RefusedLine(line.text, refused.value(id));
        replayed.refusal = refused.value(id);
        return false;
    };
    for (const SpoolLine& line : ReadLines(m_path)) {
        if (stays(line))
            kept << line.text;
    }
    for (const QString& side : sides) {
        const QList<SpoolLine> lines = ReadLines(side);
        if (std::none_of(lines.cbegin(), lines.cend(), stays))
            QFile::remove(side);
    }
    Append(tornPath(), cutShort);
    Append(refusedPath(), setAside);
    replayed.stored = static_cast<int>(stored.size());
    replayed.torn = static_cast<int>(cutShort.size());
    replayed.refused = static_cast<int>(setAside.size());
    if (kept.isEmpty()) {
        QFile::remove(m_path);
    } else {
        QSaveFile rest(m_path);
        if (rest.open(QIODevice::WriteOnly)) {
            for (const QByteArray& line : kept)
                rest.write(line + '\n');
            rest.commit();
        }
    }
    return replayed;
}

int RecordSpool::waiting(const QString& targetKey) {
    std::lock_guard guard(m_mutex);
    QList<SpoolLine> lines = ReadLines(m_path);
    for (const QString& side : sideFiles())
        lines << ReadLines(side);
    return static_cast<int>(std::count_if(lines.cbegin(), lines.cend(), [&](const SpoolLine& line) {
        return line.holdsARow() && line.target == targetKey;
    }));
}

} // namespace production_record
