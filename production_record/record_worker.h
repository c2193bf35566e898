// The one thread that talks to the record for a run, with the run's one connection (a Qt SQL
// connection belongs to its thread). Claims and rows that modules hand in while it is busy
// go together into its next transaction: a commit costs a disk flush, so 8 modules take two
// or three of them, not 8.
#pragma once

#include "production_record/record_connection.h"
#include "production_record/record_row.h"
#include "production_record/unit_claim.h"

#include <QList>
#include <QThread>

#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

namespace production_record {

class RecordWorker {
public:
    RecordWorker(production_record::RecordTarget target, production_record::RecordWaits waits);
    ~RecordWorker();
    RecordWorker(const RecordWorker&) = delete;
    RecordWorker& operator=(const RecordWorker&) = delete;

    // Runs the job on the worker's thread with its connection, before the claims and rows
    // handed in after it.
    void post(std::function<void(production_record::RecordConnection&)> job);
    // From any thread; each waits for its own result, or until Ctrl-C (then nothing).
    std::optional<QList<production_record::ClaimResult>>
    claim(const QList<production_record::ClaimRequest>& requests);
    std::optional<std::optional<QString>> add(const production_record::RecordRow& row);

private:
    void serve();
    // The future's value, or nothing once Ctrl-C is pressed while it is awaited.
    template <typename T> std::optional<T> await(std::future<T>& result) const;

    production_record::RecordTarget m_target;
    production_record::RecordWaits m_waits;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    QList<std::function<void(production_record::RecordConnection&)>> m_jobs;
    QList<production_record::ClaimRequest> m_claims;
    std::vector<std::promise<production_record::ClaimResult>> m_claimed;
    QList<production_record::RecordRow> m_rows;
    std::vector<std::promise<std::optional<QString>>> m_added;
    bool m_stopping = false;
    // A QThread, like the run's module threads: Qt's data for it ends with it.
    std::unique_ptr<QThread> m_thread;
};

} // namespace production_record
