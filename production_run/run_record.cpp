#include "run_record.h"

#include "outcome_report.h"

#include "production_record/record_filter.h"
#include "production_record/record_schema.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <map>

namespace production_run {
namespace {

using production_record::SettingsText;
using production_record::Unanswered;

constexpr std::chrono::milliseconds kInterruptPoll{100};
// While rows wait in the spool, how often the record is tried again, and how long each try
// may wait for it, so that a record that is down holds up the run's claims little.
constexpr std::chrono::seconds kReplayPeriod{5};
constexpr std::chrono::seconds kReplayWait{2};

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
    case Verb::Label:
        break;
    }
    return {};
}

Refusal Interrupted(const QString& target) {
    return {ExitStatus::Interrupted,
            QStringLiteral("interrupted while waiting for the record %1").arg(target)};
}

Refusal NoAnswer(const QString& target) {
    return {ExitStatus::RecordFailed,
            QStringLiteral("the record %1 stopped answering in the middle of a transaction")
                .arg(target)};
}

Refusal RefusalOf(Unanswered unanswered, const QString& target) {
    return unanswered == Unanswered::Interrupted ? Interrupted(target) : NoAnswer(target);
}

// A command reached the module that may have changed it.
bool ModuleChanged(Verb verb, const ModuleOutcome& outcome) {
    if (verb == Verb::Write)
        return !outcome.written.isEmpty() || !outcome.failed.isEmpty();
    return verb == Verb::Reset && outcome.status == ExitStatus::Done;
}

// A module refused before any write command (a clone of a module on another port, a value it
// cannot be given) is no unit's failure: its row says so, and stays out of the units' history.
QString RecordResult(Verb verb, const ModuleOutcome& outcome) {
    if (verb == Verb::Write && outcome.status == ExitStatus::Usage && !ModuleChanged(verb, outcome))
        return QLatin1String(production_record::kRefusedResult);
    return ResultName(outcome);
}

// The message of a row begun before its write, which only a bench that stopped short (killed,
// or without power) leaves as it is: what the module acknowledged by then.
QString CutShort(const QStringList& acknowledged, qsizetype commands) {
    const QString why = QStringLiteral("the bench stopped before the module's row was completed "
                                       "(killed, or it lost power)");
    if (acknowledged.isEmpty())
        return why + QStringLiteral(": no setting of the write was acknowledged yet");
    if (acknowledged.size() == commands)
        return why + QStringLiteral(": all %1 settings were written and acknowledged; the write "
                                    "was not verified")
                         .arg(commands);
    return why + QStringLiteral(": %1 of %2 settings were written and acknowledged (%3); what "
                                "came after them is not known")
                     .arg(acknowledged.size())
                     .arg(commands)
                     .arg(acknowledged.join(QStringLiteral(", ")));
}

} // namespace

// The spool of the run's record and what its replays found, shared with the record's thread.
struct RunRecord::Spooled {
    Spooled(QString spoolPath, QStringList formerPaths, QString target)
        : spool(std::move(spoolPath)), former(std::move(formerPaths)),
          targetKey(std::move(target)) {}

    // Stores the rows kept in the spool (and, at the start, in those of earlier versions);
    // whether rows still wait.
    bool replay(production_record::RecordConnection& connection, bool withFormer) {
        const auto replayOne = [this, &connection](production_record::RecordSpool& one) {
            const auto replayed = one.replay(connection);
            if (const auto* done =
                    std::get_if<production_record::RecordSpool::Replayed>(&replayed)) {
                stored += done->stored;
                torn += done->torn;
                refused += done->refused;
                if (done->refused > 0) {
                    std::lock_guard lock(mutex);
                    refusal = done->refusal;
                }
            }
        };
        replayOne(spool);
        for (const QString& path : withFormer ? former : QStringList()) {
            production_record::RecordSpool formerSpool(path);
            replayOne(formerSpool);
        }
        waiting = spool.waiting(targetKey);
        return waiting > 0;
    }

    // A label row handed to the record's thread, until it is stored or spooled: its number.
    std::uint64_t openLabel(const production_record::LabelRow& label) {
        std::lock_guard lock(mutex);
        openLabels.emplace(++labelsHandedIn, label);
        return labelsHandedIn;
    }
    // Whether the caller is the one to see the label row through: false once another thread
    // has spooled it.
    bool closeLabel(std::uint64_t label) {
        std::lock_guard lock(mutex);
        return openLabels.erase(label) > 0;
    }
    bool labelsOpen() {
        std::lock_guard lock(mutex);
        return !openLabels.empty();
    }
    void keepLabel(const production_record::LabelRow& label) {
        if (const auto error = spool.keep(targetKey, label)) {
            ++labelsLost;
            std::lock_guard lock(mutex);
            labelLoss = *error;
            return;
        }
        waiting = spool.waiting(targetKey);
    }
    // The label rows the record's thread will not see through: it is stuck in the record, or
    // the run was given up.
    void keepOpenLabels() {
        std::map<std::uint64_t, production_record::LabelRow> left;
        {
            std::lock_guard lock(mutex);
            left.swap(openLabels);
        }
        for (const auto& entry : left)
            keepLabel(entry.second);
    }

    production_record::RecordSpool spool;
    const QStringList former;
    const QString targetKey;
    // Set once the record is ready: nothing is written to a record that was refused.
    std::atomic<bool> ready{false};
    std::atomic<int> stored{0};
    std::atomic<int> torn{0};
    std::atomic<int> refused{0};
    std::atomic<int> waiting{0};
    std::atomic<int> labelsLost{0};
    std::mutex mutex;
    QString refusal;
    QString labelLoss;
    std::uint64_t labelsHandedIn = 0;
    std::map<std::uint64_t, production_record::LabelRow> openLabels;
};

RunRecord::RunRecord() = default;

RunRecord::~RunRecord() {
    // The record's thread first, which sees through the label rows handed to it unless it is
    // left behind in the record: those it did not are kept in the spool before the run ends.
    m_worker.reset();
    if (m_spooled)
        m_spooled->keepOpenLabels();
}

production_record::RecordRow RowOfOutcome(Verb verb, const ModuleOutcome& outcome,
                                          const QString& bench, std::optional<int> unit) {
    production_record::RecordRow row = production_record::NewRow();
    row.bench = bench;
    row.command = CommandName(verb);
    row.port = outcome.port;
    row.device = outcome.device;
    row.deviceAddress = outcome.deviceAddress;
    row.firmware = outcome.firmware;
    row.result = RecordResult(verb, outcome);
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
    m_spooled = std::make_shared<Spooled>(
        production_record::SpoolPath(*m_target),
        production_record::FormerSpoolPaths(job.logPath, *m_target), m_target->key);
    m_waits = production_record::RecordWaits{job.recordTimeout, interrupted};
    m_readiness = std::make_shared<std::promise<std::optional<QString>>>();
    m_ready = m_readiness->get_future().share();
    if (m_openEnded)
        startWorker();
    return std::nullopt;
}

void RunRecord::began(int module) {
    {
        std::lock_guard lock(m_mutex);
        makeRoomFor(static_cast<std::size_t>(module));
        if (++m_begun < m_stages.size())
            return;
    }
    startWorker();
}

void RunRecord::startWorker() const {
    std::call_once(m_workerStarted, [this] {
        m_worker = std::make_unique<production_record::RecordWorker>(*m_target, m_waits);
        prepareOnWorker(m_readiness);
    });
}

void RunRecord::post(std::function<void(production_record::RecordConnection&)> read) {
    worker().post(std::move(read));
}

production_record::RecordWorker& RunRecord::worker() const {
    startWorker();
    return *m_worker;
}

void RunRecord::prepareOnWorker(
    const std::shared_ptr<std::promise<std::optional<QString>>>& ready) const {
    // Rows an earlier run kept are stored before this run adds its own. One that cannot be
    // stored now stays in the spool, tried again while the run goes on.
    m_worker->post([spooled = m_spooled, ready](production_record::RecordConnection& connection) {
        if (const auto refusal = production_record::PrepareSchema(connection)) {
            ready->set_value(refusal);
            return;
        }
        spooled->ready = true;
        spooled->replay(connection, true);
        ready->set_value(std::nullopt);
    });
    m_worker->setChore(
        [spooled = m_spooled](production_record::RecordConnection& connection) {
            if (!spooled->ready)
                return false;
            const std::chrono::seconds limit = connection.waitLimit();
            connection.setWaitLimit(kReplayWait);
            const bool left = spooled->replay(connection, false);
            connection.setWaitLimit(limit);
            return left;
        },
        kReplayPeriod);
    m_worker->want();
}

std::optional<Refusal> RunRecord::ready() const {
    auto readiness = m_ready;
    const auto answer = worker().await(readiness);
    if (const auto* unanswered = std::get_if<Unanswered>(&answer))
        return RefusalOf(*unanswered, m_target->key);
    const std::optional<QString> failure = std::get<std::optional<QString>>(answer);
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
        request.valuesFolder = m_values->folder();
    }
    // Until the module's last row completes it, this one says that it never did.
    production_record::RecordRow started = RowOfOutcome(Verb::Write, sofar, m_bench, {});
    started.result = ResultName(ExitStatus::Interrupted);
    started.exitStatus = static_cast<int>(ExitStatus::Interrupted);
    started.message = CutShort({}, 0);
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
    const auto claimed = worker().claim(requests);
    lock.lock();
    for (std::size_t at = 0; at < modules.size(); ++at) {
        if (const auto* unanswered = std::get_if<Unanswered>(&claimed)) {
            m_results[modules[at]] = RefusalOf(*unanswered, m_target->key);
            continue;
        }
        const production_record::ClaimResult& result =
            std::get<QList<production_record::ClaimResult>>(claimed).at(static_cast<qsizetype>(at));
        if (const auto* refusal = std::get_if<production_record::ClaimRefusal>(&result))
            m_results[modules[at]] = refusalOf(*refusal);
        else
            m_results[modules[at]] = std::get<production_record::UnitClaim>(result);
    }
    m_claimed.notify_all();
}

void RunRecord::acknowledged(int module, const ModuleOutcome& sofar, qsizetype commands) {
    std::optional<production_record::RecordRow> row;
    {
        std::lock_guard lock(m_mutex);
        const auto index = static_cast<std::size_t>(module);
        if (index < m_started.size())
            row = m_started[index];
        if (!row || !m_results[index])
            return;
        // The claim stored the row begun with the unit number it gave.
        if (const auto* claim = std::get_if<production_record::UnitClaim>(&*m_results[index]))
            row->unit = claim->unit;
    }
    row->acknowledged = TextOf(sofar.sent, sofar.written);
    row->message = CutShort(sofar.written, commands);
    worker().update(*row);
}

std::optional<QString> RunRecord::keep(int module, Verb verb, ModuleOutcome& outcome) {
    const auto index = static_cast<std::size_t>(module);
    std::optional<production_record::RecordRow> started;
    std::optional<int> unit;
    // Why the record refused the module's claim, when it was the record that failed.
    std::optional<QString> recordRefused;
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
            const auto* refusal = std::get_if<Refusal>(&*m_results[index]);
            if (refusal && refusal->status != ExitStatus::Usage)
                recordRefused = refusal->message;
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
    outcome.time = row.time;
    // The record has just told this module why it cannot be used, after waiting as long as
    // it may: the module's row goes to the spool without a second wait, and its message says
    // why once.
    const bool toldAlready = recordRefused && !ModuleChanged(verb, outcome);
    QString error;
    if (toldAlready) {
        error = *recordRefused;
    } else {
        const auto added = worker().add(row);
        const auto* stored = std::get_if<production_record::RowStored>(&added);
        if (stored && !stored->error)
            return std::nullopt;
        error = stored ? *stored->error
                : std::get<Unanswered>(added) == Unanswered::Interrupted
                    ? QStringLiteral("interrupted before the record took the row")
                    : QStringLiteral("the record stopped answering before it took the row");
    }
    production_record::RecordSpool& spool = m_spooled->spool;
    const auto spoolError = spool.keep(m_target->key, row);
    if (!spoolError) {
        m_spooled->waiting = spool.waiting(m_target->key);
        worker().want();
        if (toldAlready)
            return std::nullopt;
        return QStringLiteral("%1; the row is kept in %2 and written to the record as soon as it "
                              "answers")
            .arg(error, spool.path());
    }
    fail(ModuleChanged(verb, outcome) ? ExitStatus::Unrecorded : ExitStatus::RecordFailed,
         QStringLiteral("its row is in neither the record nor the spool: %1; %2")
             .arg(error, *spoolError));
    return std::nullopt;
}

void RunRecord::noteLabel(const production_record::LabelRow& label) {
    const std::uint64_t open = m_spooled->openLabel(label);
    worker().post(
        [spooled = m_spooled, open, label](production_record::RecordConnection& connection) {
            const std::optional<QString> error =
                spooled->ready ? production_record::AddLabelRow(connection, label) : std::nullopt;
            // A refused record takes nothing; a row the record refuses is set aside by the replay.
            if (spooled->closeLabel(open) && spooled->ready && error)
                spooled->keepLabel(label);
        });
}

void RunRecord::settleLabels() {
    // Nothing to wait for, not even a record still being opened.
    if (!m_spooled || !m_spooled->labelsOpen())
        return;
    // Jobs run in order: once this one has, so have those of the label rows handed in before.
    const auto settled =
        worker().ask<bool>([](production_record::RecordConnection&) { return true; });
    if (std::holds_alternative<Unanswered>(settled))
        m_spooled->keepOpenLabels();
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
    const QStringList keys = m_values->keys();
    const auto left = worker().ask<std::optional<int>>(
        [keys](production_record::RecordConnection& connection) -> std::optional<int> {
            const auto given = production_record::CountGiven(connection, keys);
            return given ? std::optional<int>(static_cast<int>(keys.size()) - *given)
                         : std::nullopt;
        });
    const auto* counted = std::get_if<std::optional<int>>(&left);
    return counted ? *counted : std::nullopt;
}

int RunRecord::rowsWaiting() const {
    return m_spooled ? m_spooled->waiting.load() : 0;
}

std::optional<QMap<QString, QDateTime>> RunRecord::writesCutShort(const QStringList& ports) {
    if (ready())
        return std::nullopt;
    const QString bench = m_bench;
    const auto cut = worker().ask<std::optional<QMap<QString, QDateTime>>>(
        [bench, ports](production_record::RecordConnection& connection) {
            return production_record::WritesCutShort(connection, bench, ports);
        });
    const auto* found = std::get_if<std::optional<QMap<QString, QDateTime>>>(&cut);
    return found ? *found : std::nullopt;
}

std::optional<production_record::KnownUnit> RunRecord::lookUp(const QString& deviceAddress) {
    if (ready())
        return std::nullopt;
    const QStringList keys = m_values ? m_values->keys() : QStringList();
    const auto known = worker().ask<std::optional<production_record::KnownUnit>>(
        [deviceAddress, keys](production_record::RecordConnection& connection) {
            return production_record::LookUpUnit(connection, deviceAddress, keys);
        });
    const auto* looked = std::get_if<std::optional<production_record::KnownUnit>>(&known);
    return looked ? *looked : std::nullopt;
}

QStringList RunRecord::spoolNotes() {
    QStringList notes;
    const production_record::RecordSpool& spool = m_spooled->spool;
    const auto rows = [](int count) {
        return count == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(count);
    };
    const int stored = m_spooled->stored;
    if (stored > 0)
        notes << QStringLiteral("wrote %1 kept in the spool to the record").arg(rows(stored));
    const int torn = m_spooled->torn;
    if (torn > 0)
        notes << QStringLiteral("%1 of the spool %2 were cut short (a crash or a full disk) and "
                                "are no row; they are set aside in %3")
                     .arg(torn == 1 ? QStringLiteral("1 line")
                                    : QStringLiteral("%1 lines").arg(torn),
                          spool.path(), spool.tornPath());
    const int refused = m_spooled->refused;
    if (refused > 0) {
        std::lock_guard lock(m_spooled->mutex);
        notes << QStringLiteral("the record refused %1 of the spool (%2); set aside in %3 so "
                                "that it holds up no other row")
                     .arg(rows(refused), m_spooled->refusal, spool.refusedPath());
    }
    if (const int lost = m_spooled->labelsLost; lost > 0) {
        std::lock_guard lock(m_spooled->mutex);
        notes << QStringLiteral("%1 in neither the record nor the spool: %2")
                     .arg(lost == 1 ? QStringLiteral("1 label row is")
                                    : QStringLiteral("%1 label rows are").arg(lost),
                          m_spooled->labelLoss);
    }
    const int waiting = m_spooled->spool.waiting(m_target->key);
    notes << QStringLiteral("%1 in the spool %2 for the record")
                 .arg(waiting == 1 ? QStringLiteral("1 row waits")
                                   : QStringLiteral("%1 rows wait").arg(waiting),
                      spool.path());
    return notes;
}

} // namespace production_run
