#include "record_worker.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace production_record {
namespace {

using Clock = std::chrono::steady_clock;

// Beyond the record's own wait limit (twice: a job may wait for the schema lock and then for
// the spool's rows), what a call may take before the thread counts as stuck: a connection
// attempt's timeout and some.
constexpr std::chrono::seconds kStuckGrace{10};
// How long a run that was given up still waits for the thread to end.
constexpr std::chrono::milliseconds kLeaveAfter{500};
constexpr std::chrono::milliseconds kJoinSlice{50};

} // namespace

// What the thread shares with the worker: kept alive by the thread itself, so that a thread
// left behind in libpq touches nothing that is gone when it comes back.
struct RecordWorker::Shared {
    RecordTarget target;
    std::chrono::seconds stuckAfter{0};
    // The connection's own stop: set from the run's flag, and when the thread is left behind.
    std::atomic<bool> givenUp{false};

    mutable std::mutex mutex;
    std::condition_variable wake;
    QList<std::function<void(RecordConnection&)>> jobs;
    QList<ClaimRequest> claims;
    std::vector<std::promise<ClaimResult>> claimed;
    QList<RecordRow> rows;
    std::vector<std::promise<RowStored>> added;
    std::function<bool(RecordConnection&)> chore;
    std::chrono::milliseconds chorePeriod{0};
    bool choreWanted = false;
    bool stopping = false;
    bool leftBehind = false;
    std::optional<Clock::time_point> busySince;

    bool hasWork() const { return !jobs.isEmpty() || !claims.isEmpty() || !rows.isEmpty(); }
    void serve(RecordWaits waits);
};

void RecordWorker::Shared::serve(RecordWaits waits) {
    waits.interrupted = &givenUp;
    RecordConnection connection(target, RecordConnection::Mode::ReadWrite, waits);
    std::unique_lock lock(mutex);
    while (true) {
        const auto woken = [this] { return stopping || leftBehind || hasWork(); };
        if (choreWanted && chore)
            wake.wait_for(lock, chorePeriod, woken);
        else
            wake.wait(lock, woken);
        if (leftBehind || (stopping && !hasWork()))
            return;
        // After a transaction the record has just answered (or failed): the time to try the
        // chore, as well as every period while it is wanted.
        const bool choreNow = chore && !stopping && (choreWanted || hasWork());
        const auto jobsNow = std::exchange(jobs, {});
        const auto claimsNow = std::exchange(claims, {});
        auto claimedNow = std::exchange(claimed, {});
        const auto rowsNow = std::exchange(rows, {});
        auto addedNow = std::exchange(added, {});
        const auto choreOnce = chore;
        if (choreNow)
            choreWanted = false;
        busySince = Clock::now();
        lock.unlock();
        for (const auto& job : jobsNow)
            job(connection);
        if (!claimsNow.isEmpty()) {
            const QList<ClaimResult> results = ClaimUnits(connection, claimsNow);
            for (qsizetype index = 0; index < claimsNow.size(); ++index)
                claimedNow[static_cast<std::size_t>(index)].set_value(results[index]);
        }
        if (!rowsNow.isEmpty()) {
            const QList<RowStored> results = StoreRows(connection, rowsNow);
            for (qsizetype index = 0; index < rowsNow.size(); ++index)
                addedNow[static_cast<std::size_t>(index)].set_value(results[index]);
        }
        const bool choreLeft = choreNow && choreOnce(connection);
        lock.lock();
        busySince.reset();
        choreWanted = choreWanted || choreLeft;
    }
}

RecordWorker::RecordWorker(RecordTarget target, RecordWaits waits)
    : m_waits(waits), m_shared(std::make_shared<Shared>()) {
    m_shared->target = std::move(target);
    m_shared->stuckAfter = 2 * waits.limit + kStuckGrace;
    m_thread.reset(QThread::create([shared = m_shared, waits] { shared->serve(waits); }));
    m_thread->start();
}

RecordWorker::~RecordWorker() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true;
    }
    m_shared->wake.notify_one();
    std::optional<Clock::time_point> givenUpAt;
    while (!m_thread->wait(QDeadlineTimer(kJoinSlice))) {
        if (givenUp() && !givenUpAt)
            givenUpAt = Clock::now();
        if (stuck() || (givenUpAt && Clock::now() - *givenUpAt >= kLeaveAfter)) {
            {
                std::lock_guard lock(m_shared->mutex);
                m_shared->leftBehind = true;
            }
            m_shared->givenUp = true;
            m_shared->wake.notify_one();
            // Deleting a QThread that still runs aborts the program: this one is let go.
            (void)m_thread.release();
            return;
        }
    }
}

bool RecordWorker::givenUp() const {
    if (m_waits.interrupted != nullptr && m_waits.interrupted->load())
        m_shared->givenUp = true;
    return m_shared->givenUp;
}

bool RecordWorker::stuck() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->busySince && Clock::now() - *m_shared->busySince > m_shared->stuckAfter;
}

void RecordWorker::post(std::function<void(RecordConnection&)> job) {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->jobs.append(std::move(job));
    }
    m_shared->wake.notify_one();
}

void RecordWorker::setChore(std::function<bool(RecordConnection&)> chore,
                            std::chrono::milliseconds period) {
    std::lock_guard lock(m_shared->mutex);
    m_shared->chore = std::move(chore);
    m_shared->chorePeriod = period;
}

void RecordWorker::want() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->choreWanted = true;
    }
    m_shared->wake.notify_one();
}

Answer<QList<ClaimResult>> RecordWorker::claim(const QList<ClaimRequest>& requests) {
    std::vector<std::future<ClaimResult>> results;
    {
        std::lock_guard lock(m_shared->mutex);
        for (const ClaimRequest& request : requests) {
            m_shared->claims.append(request);
            m_shared->claimed.emplace_back();
            results.push_back(m_shared->claimed.back().get_future());
        }
    }
    m_shared->wake.notify_one();
    QList<ClaimResult> claimed;
    for (auto& result : results) {
        const auto one = await(result);
        if (const auto* unanswered = std::get_if<Unanswered>(&one))
            return *unanswered;
        claimed << std::get<ClaimResult>(one);
    }
    return claimed;
}

void RecordWorker::update(const RecordRow& row) {
    {
        std::lock_guard lock(m_shared->mutex);
        QList<RecordRow>& rows = m_shared->rows;
        const auto same = std::find_if(rows.begin(), rows.end(), [&row](const RecordRow& waiting) {
            return waiting.rowId == row.rowId;
        });
        // The row that completes it comes last, after every update of its module.
        if (same != rows.end()) {
            *same = row;
            return;
        }
        rows.append(row);
        // Nobody waits for what became of an update.
        m_shared->added.emplace_back();
    }
    m_shared->wake.notify_one();
}

Answer<RowStored> RecordWorker::add(const RecordRow& row) {
    std::future<RowStored> result;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->rows.append(row);
        m_shared->added.emplace_back();
        result = m_shared->added.back().get_future();
    }
    m_shared->wake.notify_one();
    return await(result);
}

} // namespace production_record
