// The one thread that talks to the record for a run, with the run's one connection (a Qt SQL
// connection belongs to its thread). Claims and rows that modules hand in while it is busy
// go together into its next transaction: a commit costs a disk flush, so 8 modules take two
// or three of them, not 8. Every wait for it ends: at Ctrl-C or a stop, and when it has been
// stuck in one call for longer than the record may keep a run waiting (a server that stopped
// answering in the middle of a statement holds libpq for ever).
#pragma once

#include "production_record/record_connection.h"
#include "production_record/record_row.h"
#include "production_record/unit_claim.h"

#include <QList>
#include <QThread>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace production_record {

// Why a wait for the record's thread ended without its answer.
enum class Unanswered { Interrupted, Stuck };

template <typename T> using Answer = std::variant<T, Unanswered>;

class RecordWorker {
public:
    RecordWorker(RecordTarget target, RecordWaits waits);
    // Waits for the thread to finish what it was handed, but not for a thread stuck in the
    // record or once the run was given up: that one is left to end with the process (or when
    // the server answers again), touching nothing but what it shares with no one.
    ~RecordWorker();
    RecordWorker(const RecordWorker&) = delete;
    RecordWorker& operator=(const RecordWorker&) = delete;

    // Runs the job on the worker's thread with its connection, before the claims and rows
    // handed in after it. What the job uses must outlive a thread left behind.
    void post(std::function<void(RecordConnection&)> job);
    // The job's result, from any thread.
    template <typename T> Answer<T> ask(std::function<T(RecordConnection&)> job);
    // From any thread; each waits for its own result.
    Answer<QList<ClaimResult>> claim(const QList<ClaimRequest>& requests);
    Answer<RowStored> add(const RecordRow& row);
    // The same without waiting for it: the row's state so far, which a later row of the same
    // id completes. One not yet stored gives way to a newer state of the same row.
    void update(const RecordRow& row);

    // `chore` runs on the thread after each batch of its work and every `period` while it
    // says work is left (rows wait in the spool, say), and once more after want().
    void setChore(std::function<bool(RecordConnection&)> chore, std::chrono::milliseconds period);
    void want();

    // The thread has been in one call for longer than the record may keep a run waiting.
    bool stuck() const;
    // The run's waits end now (Ctrl-C, the line stopping).
    bool givenUp() const;

    // The result of a future that the worker's thread gives, or why it did not come.
    template <typename Future>
    Answer<std::decay_t<decltype(std::declval<Future&>().get())>> await(Future& result) const;

private:
    struct Shared;

    RecordWaits m_waits;
    std::shared_ptr<Shared> m_shared;
    // A QThread, like the run's module threads: Qt's data for it ends with it.
    std::unique_ptr<QThread> m_thread;
};

template <typename T> Answer<T> RecordWorker::ask(std::function<T(RecordConnection&)> job) {
    auto answer = std::make_shared<std::promise<T>>();
    std::future<T> result = answer->get_future();
    post([answer, job = std::move(job)](RecordConnection& connection) {
        answer->set_value(job(connection));
    });
    return await(result);
}

template <typename Future>
Answer<std::decay_t<decltype(std::declval<Future&>().get())>>
RecordWorker::await(Future& result) const {
    constexpr std::chrono::milliseconds kLookAgain{100};
    while (result.wait_for(kLookAgain) != std::future_status::ready) {
        if (givenUp())
            return Unanswered::Interrupted;
        if (stuck())
            return Unanswered::Stuck;
    }
    return result.get();
}

} // namespace production_record
