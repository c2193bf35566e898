#include "summary_cost.h"

#include "production_record/record_row.h"
#include "production_record/record_schema.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace bench {
namespace {

constexpr int kRowsPerTransaction = 5000;
constexpr int kBenches = 4;
constexpr int kDays = 30;
// One write in eleven is a unit written again.
constexpr int kRowsPerRewrite = 11;

production_record::RecordRow RowNumber(int index, int rows) {
    production_record::RecordRow row = production_record::NewRow();
    const QDateTime start(QDate(2026, 11, 1), QTime(6, 0), QTimeZone::utc());
    const int day = int(qint64(index) * kDays / rows);
    row.time = start.addDays(day).addSecs(index % 40000);
    row.bench = QStringLiteral("bench-%1").arg(index % kBenches + 1);
    row.command = QStringLiteral("write");
    const int unit = index - index / kRowsPerRewrite + 1;
    row.unit = unit;
    row.deviceAddress = QStringLiteral("0012 6f %1 %2")
                            .arg(unit / 65536, 2, 16, QLatin1Char('0'))
                            .arg(unit % 65536, 4, 16, QLatin1Char('0'));
    row.result = QStringLiteral("ok");
    if (index % 10 == 3) {
        row.result = QStringLiteral("mismatch");
        row.message = QStringLiteral("the module holds other values than were written: name: "
                                     "wanted \"Unit-%1\", found \"Unit\"")
                          .arg(unit);
    } else if (index % 50 == 7) {
        row.result = QStringLiteral("no_reply");
        row.message = QStringLiteral("no module answered");
    }
    row.acknowledged = production_record::SettingsText{
        {QStringLiteral("name"), QStringLiteral("Unit-%1").arg(unit)}};
    return row;
}

} // namespace

bool FillRecord(const QString& target, int rows) {
    const auto parsed = production_record::ParseRecordTarget(target);
    if (!std::holds_alternative<production_record::RecordTarget>(parsed))
        return false;
    production_record::RecordConnection connection(
        std::get<production_record::RecordTarget>(parsed));
    if (production_record::PrepareSchema(connection))
        return false;
    for (int from = 0; from < rows; from += kRowsPerTransaction) {
        QList<production_record::RecordRow> batch;
        for (int index = from; index < std::min(rows, from + kRowsPerTransaction); ++index)
            batch << RowNumber(index, rows);
        if (production_record::InsertRows(connection, batch))
            return false;
    }
    return true;
}

std::optional<SummaryRun> MeasureSummary(const QString& directory, const QString& target,
                                         int runs) {
    const QByteArray program = (directory + QStringLiteral("/cordelo-cli")).toLocal8Bit();
    const QByteArray record = target.toLocal8Bit();
    std::vector<SummaryRun> measured;
    for (int run = 0; run < runs; ++run) {
        char* arguments[] = {const_cast<char*>(program.constData()), const_cast<char*>("record"),
                             const_cast<char*>(record.constData()), const_cast<char*>("--summary"),
                             nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        const auto start = std::chrono::steady_clock::now();
        pid_t child = 0;
        const int spawned =
            posix_spawn(&child, program.constData(), &actions, nullptr, arguments, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return std::nullopt;
        // wait4 gives this child's own peak memory, apart from every other child's.
        int status = 0;
        rusage usage{};
        if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            return std::nullopt;
        measured.push_back({std::chrono::steady_clock::now() - start, usage.ru_maxrss});
    }
    std::sort(measured.begin(), measured.end(),
              [](const SummaryRun& a, const SummaryRun& b) { return a.time < b.time; });
    return measured[measured.size() / 2];
}

} // namespace bench
