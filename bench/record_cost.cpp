#include "record_cost.h"

#include "addressed_modules.h"

#include "production_record/record_row.h"
#include "production_record/record_schema.h"

#include <QProcess>

namespace bench {
namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;
constexpr int kCliTimeoutMs = 60000;

// A record with its tables made, as every run after the first finds it; false when it failed.
bool Prepared(const QString& target) {
    const auto parsed = production_record::ParseRecordTarget(target);
    if (!std::holds_alternative<production_record::RecordTarget>(parsed))
        return false;
    production_record::RecordConnection connection(
        std::get<production_record::RecordTarget>(parsed));
    return !production_record::PrepareSchema(connection);
}

} // namespace

std::optional<Milliseconds> TimeCliWrite(const QString& program, const QStringList& arguments) {
    QProcess cli;
    const auto start = std::chrono::steady_clock::now();
    cli.start(program, arguments);
    if (!cli.waitForFinished(kCliTimeoutMs) || cli.exitCode() != 0)
        return std::nullopt;
    return std::chrono::steady_clock::now() - start;
}

std::optional<double> MeasureRowsPerSecond(const QString& target, int rows) {
    if (!Prepared(target))
        return std::nullopt;
    production_record::RecordConnection connection(
        std::get<production_record::RecordTarget>(production_record::ParseRecordTarget(target)));
    production_record::RecordRow row = production_record::NewRow();
    row.result = QStringLiteral("ok");
    row.acknowledged = production_record::SettingsText{{QStringLiteral("name"), "Bench-1"}};
    const auto start = std::chrono::steady_clock::now();
    for (int index = 0; index < rows; ++index) {
        row.rowId = production_record::NewRow().rowId;
        row.deviceAddress = QStringLiteral("0012 6f 3a %1").arg(index);
        if (production_record::InsertRows(connection, {row}))
            return std::nullopt;
    }
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    return rows / spent.count();
}

RecordCostRuns MeasureRecordCost(const QString& directory, int modules, int runs,
                                 const std::function<QString(int run)>& fresh) {
    const std::optional<AddressedModules> simulated = StartAddressedModules(modules);
    if (!simulated)
        return {};
    const QStringList& ports = simulated->portOptions;
    const QString cli = directory + QStringLiteral("/cordelo-cli");
    RecordCostRuns cost;
    for (int run = 0; run < runs; ++run) {
        if (const auto time =
                TimeCliWrite(cli, QStringList{QStringLiteral("write"), QStringLiteral("--set"),
                                              QStringLiteral("name=Bench-{n}")} +
                                      ports))
            cost.without.push_back(*time);
        const QString target = fresh(run);
        if (target.isEmpty() || !Prepared(target))
            continue;
        if (const auto time =
                TimeCliWrite(cli, QStringList{QStringLiteral("write"), QStringLiteral("--set"),
                                              QStringLiteral("name=Bench-{unit}"),
                                              QStringLiteral("--record"), target} +
                                      ports))
            cost.with.push_back(*time);
    }
    return cost;
}

} // namespace bench
