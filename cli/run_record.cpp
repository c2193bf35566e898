#include "run_record.h"

#include "production_record/record_schema.h"

namespace cli {
namespace {

using production_record::SettingsText;

// The settings of `keys`, all when none are given.
std::optional<SettingsText> TextOf(const std::optional<profile::ModuleSettings>& settings,
                                   const QStringList& keys = profile::kModuleKeys) {
    if (!settings)
        return std::nullopt;
    SettingsText text;
    for (const QString& key : keys) {
        if (const auto value = profile::ModuleKeyText(*settings, key))
            text.insert(key, *value);
    }
    return text;
}

QString CommandName(Verb verb) {
    switch (verb) {
    case Verb::Read:
        return QStringLiteral("read");
    case Verb::Write:
        return QStringLiteral("write");
    case Verb::Reset:
        return QStringLiteral("reset");
    case Verb::Ports:
    case Verb::Record:
        break;
    }
    return {};
}

} // namespace

production_record::RecordRow RowOfOutcome(Verb verb, const ModuleOutcome& outcome,
                                          const QString& bench, std::optional<int> unit) {
    production_record::RecordRow row = production_record::NewRow();
    row.bench = bench;
    row.command = CommandName(verb);
    row.port = outcome.port;
    row.device = outcome.device;
    row.deviceAddress = outcome.deviceAddress;
    row.firmware = outcome.firmware;
    row.result = ResultName(outcome.status);
    row.exitStatus = static_cast<int>(outcome.status);
    row.before = TextOf(outcome.before);
    if (!outcome.written.isEmpty())
        row.acknowledged = TextOf(outcome.sent, outcome.written);
    row.verified = TextOf(outcome.found);
    row.problemKeys = outcome.failed;
    for (const Mismatch& mismatch : outcome.mismatches)
        row.problemKeys << mismatch.key;
    row.unit = unit;
    return row;
}

std::optional<QString> RunRecord::open(const Invocation& invocation, bool wantsUnit,
                                       const ValuesList* values) {
    const auto parsed = production_record::ParseRecordTarget(invocation.recordTarget);
    if (const auto* refusal = std::get_if<QString>(&parsed))
        return *refusal;
    m_target = std::get<production_record::RecordTarget>(parsed);
    m_bench = invocation.bench;
    m_wantsUnit = wantsUnit;
    m_values = values;
    m_spool = std::make_unique<production_record::RecordSpool>(
        production_record::SpoolPath(invocation.logPath));
    m_worker = std::make_unique<RecordWorker>(*m_target);
    auto ready = std::make_shared<std::promise<std::optional<QString>>>();
    m_ready = ready->get_future().share();
    m_worker->post([this, ready](production_record::RecordConnection& connection) {
        if (const auto refusal = production_record::PrepareSchema(connection)) {
            ready->set_value(refusal);
            return;
        }
        const auto replayed = m_spool->replay(connection);
        if (const auto* error = std::get_if<QString>(&replayed)) {
            ready->set_value(QStringLiteral("cannot write the rows kept in %1: %2")
                                 .arg(m_spool->path(), *error));
            return;
        }
        m_replayed = std::get<int>(replayed);
        ready->set_value(std::nullopt);
    });
    return std::nullopt;
}

std::variant<production_record::UnitClaim, Refusal> RunRecord::claim(const QString& deviceAddress) {
    if (deviceAddress.isEmpty())
        return Refusal{ExitStatus::Usage,
                       QStringLiteral("the module reported no device address to keep its unit "
                                      "number and values by")};
    if (const auto failure = ready())
        return Refusal{ExitStatus::RecordFailed, *failure};
    production_record::ClaimRequest request;
    request.deviceAddress = deviceAddress;
    request.bench = m_bench;
    request.wantsUnit = m_wantsUnit;
    if (m_values) {
        request.valuesList = m_values->name();
        request.valuesRows = m_values->size();
    }
    const production_record::ClaimResult claimed = m_worker->claim(request);
    if (const auto* refusal = std::get_if<production_record::ClaimRefusal>(&claimed))
        return Refusal{refusal->valuesUsedUp ? ExitStatus::Usage : ExitStatus::RecordFailed,
                       refusal->message};
    return std::get<production_record::UnitClaim>(claimed);
}

RunRecord::Kept RunRecord::keep(Verb verb, const ModuleOutcome& outcome, std::optional<int> unit) {
    // A record that could not be made ready refused the run: nothing to keep for it.
    if (const auto failure = ready())
        return {false, *failure};
    const production_record::RecordRow row = RowOfOutcome(verb, outcome, m_bench, unit);
    const std::optional<QString> error = m_worker->add(row);
    if (!error)
        return {};
    if (const auto spoolError = m_spool->keep(m_target->key, row))
        return {false, *error + QStringLiteral("; ") + *spoolError};
    return {true, QStringLiteral("%1; the row is kept in %2 and written to the record on the "
                                 "next run")
                      .arg(*error, m_spool->path())};
}

} // namespace cli
