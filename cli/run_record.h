// The production record as one run of read, write or reset uses it: opened and brought up
// to date while the modules are checked and read, a unit number and values row claimed for
// each module before its first write command, and one row for each module once it is done.
#pragma once

#include "module_job.h"
#include "record_worker.h"
#include "values_list.h"

#include "production_record/record_connection.h"
#include "production_record/record_row.h"
#include "production_record/record_spool.h"
#include "production_record/unit_claim.h"

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <variant>

namespace cli {

class RunRecord {
public:
    // Checks TARGET and starts opening the record, preparing its tables and writing the
    // rows the spool kept for it; why TARGET is refused, or nothing. `values` may be null;
    // it must outlive the run.
    std::optional<QString> open(const Invocation& invocation, bool wantsUnit,
                                const ValuesList* values);
    // Waits until the record is ready: why it cannot be used, or nothing. Every module asks
    // before its first command that changes it.
    std::optional<QString> ready() const { return m_ready.get(); }
    // How many kept rows were written to the record once it was ready.
    int replayed() const { return m_replayed; }
    // True when each module needs a number or a values row before it is written.
    bool claims() const { return m_wantsUnit || m_values != nullptr; }

    // From the module's thread; each waits for the record's answer.
    std::variant<production_record::UnitClaim, Refusal> claim(const QString& deviceAddress);

    struct Kept {
        // False when the row is neither in the record nor in the spool.
        bool safe = true;
        // What went wrong, for stderr; empty when the record took the row.
        QString warning;
    };
    Kept keep(Verb verb, const ModuleOutcome& outcome, std::optional<int> unit);

private:
    std::optional<production_record::RecordTarget> m_target;
    QString m_bench;
    bool m_wantsUnit = false;
    const ValuesList* m_values = nullptr;
    std::unique_ptr<production_record::RecordSpool> m_spool;
    std::atomic<int> m_replayed{0};
    std::shared_future<std::optional<QString>> m_ready;
    // Last, so that its thread ends before what its jobs use.
    std::unique_ptr<RecordWorker> m_worker;
};

// The module's row as the record stores it.
production_record::RecordRow RowOfOutcome(Verb verb, const ModuleOutcome& outcome,
                                          const QString& bench, std::optional<int> unit);

} // namespace cli
