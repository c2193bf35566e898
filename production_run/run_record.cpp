#include "run_record.h"

#include "outcome_report.h"

#include "production_record/record_schema.h"

#include <QFileInfo>

#include <algorithm>

namespace production_run {
namespace {

using production_record::SettingsText;

constexpr std::chrono::milliseconds kInterruptPoll{100};

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

Refusal Interrupted(const QString& target) {
    return {ExitStatus::Interrupted,
            QStringLiteral("interrupted while waiting for the record %1").arg(target)};
}

// A command reached the module that may have changed it.
bool ModuleChanged(Verb verb, const ModuleOutcome& outcome) {
    if (verb == Verb::Write)
        return !outcome.written.isEmpty() || !outcome.failed.isEmpty();
    return verb == Verb::Reset && outcome.status == ExitStatus::Done;
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
    row.result = ResultName(outcome);
    row.exitStatus = static_cast<int>(outcome.status);
    row.before = TextOf(outcome.before);
    if (!outcome.written.isEmpty())
        row.acknowledged = TextOf(outcome.sent, outcome.written);
    row.verified = TextOf(outcome.found);
    row.problemKeys = outcome.failed;
    for (const Mismatch& mismatch : outcome.mismatches)
        row.problemKeys << mismatch.key;
    row.unit = unit;
    row.message = outcome.message;
    return row;
}

std::optional<QString> RunRecord::open(const Job& job, bool wantsUnit, const ValuesList* values,
                                       int modules, const std::atomic<bool>* interrupted) {
    const auto parsed = production_record::ParseRecordTarget(job.recordTarget);
    if (const auto* refusal = std::get_if<QString>(&parsed))
        return *refusal;
    m_target = std::get<production_record::RecordTarget>(parsed);
    m_bench = job.bench;
    m_wantsUnit = wantsUnit;
    m_openEnded = modules == 0;
    m_values = values;
    m_interrupted = interrupted;
    m_stages.assign(static_cast<std::size_t>(modules), Stage::Working);
    m_requests.resize(m_stages.size());
    m_results.resize(m_stages.size());
    m_started.resize(m_stages.size());
    m_spool =
        std::make_unique<production_record::RecordSpool>(production_record::SpoolPath(*m_target));
    m_formerSpool = production_record::FormerSpoolPath(job.logPath);
    m_worker = std::make_unique<production_record::RecordWorker>(
        *m_target, production_record::RecordWaits{job.recordTimeout, interrupted});
    auto ready = std::make_shared<std::promise<std::optional<QString>>>();
    m_ready = ready->get_future().share();
    m_worker->post([this, ready](production_record::RecordConnection& connection) {
        if (const auto refusal = production_record::PrepareSchema(connection)) {
            ready->set_value(refusal);
            return;
        }
        prepare(connection);
        ready->set_value(std::nullopt);
    });
    return std::nullopt;
}

// Rows an earlier run kept are stored before this run adds its own. One that cannot be
// stored now stays in the spool for the next run, and this run goes on.
void RunRecord::prepare(production_record::RecordConnection& connection) {
    production_record::RecordSpool former(m_formerSpool);
    for (production_record::RecordSpool* spool : {m_spool.get(), &former}) {
        const auto replayed = spool->replay(connection);
        if (const auto* done = std::get_if<production_record::RecordSpool::Replayed>(&replayed)) {
            m_replayed += done->stored;
            m_torn += done->torn;
        }
    }
}

std::optional<Refusal> RunRecord::ready() const {
    while (m_ready.wait_for(kInterruptPoll) != std::future_status::ready) {
        if (m_interrupted != nullptr && m_interrupted->load())
            return Interrupted(m_target->key);
    }
    const std::optional<QString> failure = m_ready.get();
    if (!failure)
        return std::nullopt;
    if (m_interrupted != nullptr && m_interrupted->load())
        return Interrupted(m_target->key);
    return Refusal{ExitStatus::RecordFailed, *failure};
}

std::variant<production_record::UnitClaim, Refusal>
RunRecord::refusalOf(const production_record::ClaimRefusal& refusal) const {
    if (m_interrupted != nullptr && m_interrupted->load())
        return Interrupted(m_target->key);
    return Refusal{refusal.valuesUsedUp ? ExitStatus::Usage : ExitStatus::RecordFailed,
                   refusal.message};
}

std::variant<production_record::UnitClaim, Refusal> RunRecord::claim(int module,
                                                                     const ModuleOutcome& sofar) {
    const auto index = static_cast<std::size_t>(module);
    if (sofar.deviceAddress.isEmpty())
        return Refusal{ExitStatus::Usage,
                       QStringLiteral("the module reported no device address to keep its unit "
                                      "number and values by")};
    if (const auto refusal = ready())
        return *refusal;
    production_record::ClaimRequest request;
    request.deviceAddress = sofar.deviceAddress;
    request.bench = m_bench;
    request.wantsUnit = m_wantsUnit;
    if (m_values) {
        request.valuesList = m_values->name();
        request.valuesKeys = m_values->keys();
    }
    // Until the module's last row completes it, this one says that it never did.
    production_record::RecordRow started = RowOfOutcome(Verb::Write, sofar, m_bench, {});
    started.result = ResultName(ExitStatus::Interrupted);
    started.exitStatus = static_cast<int>(ExitStatus::Interrupted);
    request.started = started;

    std::unique_lock lock(m_mutex);
    makeRoomFor(index);
    m_started[index] = started;
    m_requests[index] = request;
    m_stages[index] = Stage::Claiming;
    if (m_values && !m_openEnded)
        claimWhenAllArrived(lock);
    else
        claimFor({index}, lock);
    while (!m_results[index]) {
        if (m_interrupted != nullptr && m_interrupted->load()) {
            // A module that gave up takes nothing when the others' claims are made.
            m_requests[index].reset();
            return Interrupted(m_target->key);
        }
        m_claimed.wait_for(lock, kInterruptPoll);
    }
    return *m_results[index];
}

void RunRecord::makeRoomFor(std::size_t module) {
    if (module < m_stages.size())
        return;
    m_stages.resize(module + 1, Stage::Working);
    m_requests.resize(m_stages.size());
    m_results.resize(m_stages.size());
    m_started.resize(m_stages.size());
}

void RunRecord::claimWhenAllArrived(std::unique_lock<std::mutex>& lock) {
    if (m_openEnded)
        return;
    if (std::find(m_stages.cbegin(), m_stages.cend(), Stage::Working) != m_stages.cend())
        return;
    std::vector<std::size_t> modules;
    for (std::size_t index = 0; index < m_requests.size(); ++index) {
        if (m_requests[index])
            modules.push_back(index);
    }
    if (!modules.empty())
        claimFor(modules, lock);
}

void RunRecord::claimFor(const std::vector<std::size_t>& modules,
                         std::unique_lock<std::mutex>& lock) {
    QList<production_record::ClaimRequest> requests;
    for (const std::size_t index : modules)
        requests << *std::exchange(m_requests[index], std::nullopt);
    lock.unlock();
    const auto claimed = m_worker->claim(requests);
    lock.lock();
    for (std::size_t at = 0; at < modules.size(); ++at) {
        if (!claimed) {
            m_results[modules[at]] = Interrupted(m_target->key);
            continue;
        }
        const production_record::ClaimResult& result = claimed->at(static_cast<qsizetype>(at));
        if (const auto* refusal = std::get_if<production_record::ClaimRefusal>(&result))
            m_results[modules[at]] = refusalOf(*refusal);
        else
            m_results[modules[at]] = std::get<production_record::UnitClaim>(result);
    }
    m_claimed.notify_all();
}

std::optional<QString> RunRecord::keep(int module, Verb verb, ModuleOutcome& outcome) {
    const auto index = static_cast<std::size_t>(module);
    std::optional<production_record::RecordRow> started;
    std::optional<int> unit;
    {
        // A module that ends without claiming no longer holds up the claims of the others.
        std::unique_lock lock(m_mutex);
        makeRoomFor(index);
        m_stages[index] = Stage::Done;
        claimWhenAllArrived(lock);
        started = m_started[index];
        if (m_results[index]) {
            if (const auto* claim = std::get_if<production_record::UnitClaim>(&*m_results[index]))
                unit = claim->unit;
        }
    }
    outcome.unit = unit;
    const auto fail = [&outcome](ExitStatus status, const QString& why) {
        if (outcome.status == ExitStatus::Done) {
            outcome.status = status;
            outcome.message = why;
        } else {
            outcome.message += QStringLiteral("; ") + why;
        }
    };
    // A record that could not be made ready let nothing be changed: a read that went well
    // still failed to be recorded. A module that failed already says why.
    if (const auto refusal = ready()) {
        if (outcome.status == ExitStatus::Done)
            fail(refusal->status, refusal->message);
        return std::nullopt;
    }
    production_record::RecordRow row = RowOfOutcome(verb, outcome, m_bench, unit);
    if (started) {
        row.rowId = started->rowId;
        row.time = started->time;
    }
    const auto added = m_worker->add(row);
    if (added && !*added)
        return std::nullopt;
    const QString error =
        added ? **added : QStringLiteral("interrupted before the record took the row");
    const auto spoolError = m_spool->keep(m_target->key, row);
    if (!spoolError)
        return QStringLiteral("%1; the row is kept in %2 and written to the record on the next run")
            .arg(error, m_spool->path());
    fail(ModuleChanged(verb, outcome) ? ExitStatus::Unrecorded : ExitStatus::RecordFailed,
         QStringLiteral("its row is in neither the record nor the spool: %1; %2")
             .arg(error, *spoolError));
    return std::nullopt;
}

void RunRecord::leave(int module) {
    std::unique_lock lock(m_mutex);
    makeRoomFor(static_cast<std::size_t>(module));
    m_stages[static_cast<std::size_t>(module)] = Stage::Done;
    claimWhenAllArrived(lock);
}

std::optional<int> RunRecord::valuesLeft() {
    if (!m_values || ready())
        return std::nullopt;
    auto counted = std::make_shared<std::promise<std::optional<int>>>();
    std::future<std::optional<int>> left = counted->get_future();
    const QStringList keys = m_values->keys();
    m_worker->post([counted, keys](production_record::RecordConnection& connection) {
        const auto given = production_record::CountGiven(connection, keys);
        counted->set_value(given ? std::optional<int>(static_cast<int>(keys.size()) - *given)
                                 : std::nullopt);
    });
    return left.get();
}

std::optional<production_record::KnownUnit> RunRecord::lookUp(const QString& deviceAddress) {
    if (ready())
        return std::nullopt;
    auto looked = std::make_shared<std::promise<std::optional<production_record::KnownUnit>>>();
    std::future<std::optional<production_record::KnownUnit>> known = looked->get_future();
    const QStringList keys = m_values ? m_values->keys() : QStringList();
    m_worker->post([looked, deviceAddress, keys](production_record::RecordConnection& connection) {
        looked->set_value(production_record::LookUpUnit(connection, deviceAddress, keys));
    });
    while (known.wait_for(kInterruptPoll) != std::future_status::ready) {
        if (m_interrupted != nullptr && m_interrupted->load())
            return std::nullopt;
    }
    return known.get();
}

QStringList RunRecord::spoolNotes() {
    QStringList notes;
    const int replayed = m_replayed;
    if (replayed > 0)
        notes << QStringLiteral("wrote %1 kept from an earlier run to the record")
                     .arg(replayed == 1 ? QStringLiteral("1 row")
                                        : QStringLiteral("%1 rows").arg(replayed));
    if (m_torn > 0)
        notes << QStringLiteral("%1 of the spool %2 were cut short (a crash or a full disk) and "
                                "are no row; they are set aside in %3")
                     .arg(m_torn == 1 ? QStringLiteral("1 line")
                                      : QStringLiteral("%1 lines").arg(m_torn.load()),
                          m_spool->path(), m_spool->tornPath());
    const int waiting = m_spool->waiting(m_target->key);
    notes << QStringLiteral("%1 in the spool %2 for the record")
                 .arg(waiting == 1 ? QStringLiteral("1 row waits")
                                   : QStringLiteral("%1 rows wait").arg(waiting),
                      m_spool->path());
    return notes;
}

} // namespace production_run
