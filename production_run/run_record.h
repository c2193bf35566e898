// The production record as one run of read, write or reset uses it: opened and brought up
// to date while the modules are checked and read; before its first write command each module
// claims its unit number and values row and begins its row, in one transaction; once done,
// its row is completed.
#pragma once

#include "module_job.h"
#include "job.h"
#include "values_list.h"

#include "production_record/cut_short_writes.h"
#include "production_record/label_rows.h"
#include "production_record/record_connection.h"
#include "production_record/record_row.h"
#include "production_record/record_spool.h"
#include "production_record/record_worker.h"
#include "production_record/unit_claim.h"
#include "production_record/unit_lookup.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

namespace production_run {

class RunRecord {
public:
    RunRecord();
    // Once every label row handed in is stored or in the spool.
    ~RunRecord();
    RunRecord(const RunRecord&) = delete;
    RunRecord& operator=(const RunRecord&) = delete;

    // Checks the job's record target and starts opening the record, preparing its tables and
    // writing the rows the spool kept for it; why the target is refused, or nothing. `values`
    // may be null; it must outlive the run, as must `interrupted`. With no `modules`, modules
    // come and go and each claims alone.
    std::optional<QString> open(const Job& job, bool wantsUnit, const ValuesList* values,
                                int modules, const std::atomic<bool>* interrupted);
    // From the module's thread as it begins. The record is opened once every module of the
    // run has begun (at once when modules come and go, and at the latest when a module first
    // needs it): loading the database's client libraries beside threads that are being made
    // stalls them, and the modules' first replies take long enough to open it meanwhile.
    void began(int module);
    // Waits until the record is ready: why it cannot be used, or nothing. Every module asks
    // before its first command that changes it.
    std::optional<Refusal> ready() const;

    // From the module's thread, before its first write command: its unit number and values
    // row, with its row begun in the record. With a values list and a number of modules, the
    // claims of the whole run are made at once, when every module has come this far or ended,
    // so that a list too short for them all is found before any module is written.
    std::variant<production_record::UnitClaim, Refusal> claim(int module,
                                                              const ModuleOutcome& sofar);

    // From the module's thread during its write: the row begun says what the module has
    // acknowledged so far, so that a bench killed now leaves that in the record. Handed to the
    // record's thread without waiting for it.
    void acknowledged(int module, const ModuleOutcome& sofar, qsizetype commands);

    // Once the module is done: completes its row and gives the outcome its unit number. When
    // the row is lost, the outcome says so, with a status that tells whether the module was
    // changed. What stderr should add (the row went to the spool), or nothing. No other call
    // for the module may follow.
    std::optional<QString> keep(int module, Verb verb, ModuleOutcome& outcome);

    // Once done, instead of keep(), for a module that was left as it was and has no row.
    void leave(int module);

    // From the label thread: the label printed or tried, handed to the record's thread without
    // waiting for it, which keeps it in the spool when the record cannot take it. A record that
    // was refused takes nothing.
    void noteLabel(const production_record::LabelRow& label);
    // Returns once every label row handed in so far is stored or in the spool: waits for the
    // record's thread as a module's row does, and spools itself what that thread did not see
    // through when the wait ends without it.
    void settleLabels();

    // What the run tells on stderr about the spool: rows stored from it, lines set aside,
    // rows still waiting.
    QStringList spoolNotes();
    // How many of the record's rows wait in its spool, as last seen: rows kept there are
    // written to the record as soon as it answers again, while the run goes on.
    int rowsWaiting() const;

    // The rows of the values list that no module was ever given, or nothing when the record
    // cannot tell now.
    std::optional<int> valuesLeft();

    // Of these ports, those whose latest write on the run's bench ended interrupted, with that
    // row's time; nothing when the record cannot tell now.
    std::optional<QMap<QString, QDateTime>> writesCutShort(const QStringList& ports);

    // Runs `read` on the record's thread with its connection, after what was handed to it
    // before, without waiting for it: a front end's question, such as a scanned unit's history.
    void post(std::function<void(production_record::RecordConnection&)> read);

    // What the record already gave the module with this address, taking nothing; nothing when
    // the record cannot tell now.
    std::optional<production_record::KnownUnit> lookUp(const QString& deviceAddress);

private:
    enum class Stage { Working, Claiming, Done };
    struct Spooled;

    std::variant<production_record::UnitClaim, Refusal>
    refusalOf(const production_record::ClaimRefusal& refusal) const;
    // With the lock held: claims for every waiting module once none is still working.
    void claimWhenAllArrived(std::unique_lock<std::mutex>& lock);
    // With the lock held (and let go while the record answers): the claims of these modules.
    void claimFor(const std::vector<std::size_t>& modules, std::unique_lock<std::mutex>& lock);
    // With the lock held: room for the module's state, which modules that come and go need.
    void makeRoomFor(std::size_t module);
    // Once, from any thread: the record's thread, opening the record.
    void startWorker() const;
    production_record::RecordWorker& worker() const;
    void prepareOnWorker(const std::shared_ptr<std::promise<std::optional<QString>>>& ready) const;

    std::optional<production_record::RecordTarget> m_target;
    QString m_bench;
    bool m_wantsUnit = false;
    bool m_openEnded = false;
    const ValuesList* m_values = nullptr;
    const std::atomic<bool>* m_interrupted = nullptr;
    // Shared with the record's thread, which may outlive the run when the server hangs.
    std::shared_ptr<Spooled> m_spooled;
    production_record::RecordWaits m_waits;
    std::shared_ptr<std::promise<std::optional<QString>>> m_readiness;
    std::shared_future<std::optional<QString>> m_ready;
    std::size_t m_begun = 0;
    mutable std::once_flag m_workerStarted;

    std::mutex m_mutex;
    std::condition_variable m_claimed;
    std::vector<Stage> m_stages;
    std::vector<std::optional<production_record::ClaimRequest>> m_requests;
    std::vector<std::optional<std::variant<production_record::UnitClaim, Refusal>>> m_results;
    // The row each module began, which its last row completes.
    std::vector<std::optional<production_record::RecordRow>> m_started;

    // Last, so that its thread ends before what its jobs use.
    mutable std::unique_ptr<production_record::RecordWorker> m_worker;
};

// The module's row as the record stores it.
production_record::RecordRow RowOfOutcome(Verb verb, const ModuleOutcome& outcome,
                                          const QString& bench, std::optional<int> unit);

} // namespace production_run
