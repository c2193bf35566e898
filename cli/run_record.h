// The production record as one run of read, write or reset uses it: opened and brought up
// to date before any port, a unit number and values row claimed for each module before its
// first write command, and one row for each module once it is done.
#pragma once

#include "module_job.h"
#include "record_worker.h"
#include "values_list.h"

#include "production_record/record_connection.h"
#include "production_record/record_row.h"
#include "production_record/record_spool.h"
#include "production_record/unit_claim.h"

#include <memory>
#include <optional>
#include <variant>

namespace cli {

class RunRecord {
public:
    // Opens the record, prepares its tables and writes the rows the spool kept for it; why
    // the run cannot use it, or nothing. `values` may be null; it must outlive the run.
    std::optional<QString> open(const Invocation& invocation, bool wantsUnit,
                                const ValuesList* values);
    // How many kept rows open() wrote to the record.
    int replayed() const { return m_replayed; }
    const production_record::RecordTarget& target() const { return *m_target; }
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
    std::unique_ptr<RecordWorker> m_worker;
    int m_replayed = 0;
};

// The module's row as the record stores it.
production_record::RecordRow RowOfOutcome(Verb verb, const ModuleOutcome& outcome,
                                          const QString& bench, std::optional<int> unit);

} // namespace cli
