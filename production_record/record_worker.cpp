#include "record_worker.h"

#include <chrono>

namespace production_record {
namespace {

// How often a module waiting for the record looks for Ctrl-C.
constexpr std::chrono::milliseconds kInterruptPoll{100};

} // namespace

RecordWorker::RecordWorker(production_record::RecordTarget target,
                           production_record::RecordWaits waits)
    : m_target(std::move(target)), m_waits(waits), m_thread(QThread::create([this] { serve(); })) {
    m_thread->start();
}

RecordWorker::~RecordWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread->wait();
}

void RecordWorker::post(std::function<void(production_record::RecordConnection&)> job) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.append(std::move(job));
    }
    m_wake.notify_one();
}

template <typename T> std::optional<T> RecordWorker::await(std::future<T>& result) const {
    while (result.wait_for(kInterruptPoll) != std::future_status::ready) {
        if (m_waits.interrupted != nullptr && m_waits.interrupted->load())
            return std::nullopt;
    }
    return result.get();
}

std::optional<QList<production_record::ClaimResult>>
RecordWorker::claim(const QList<production_record::ClaimRequest>& requests) {
    std::vector<std::future<production_record::ClaimResult>> results;
    {
        std::lock_guard lock(m_mutex);
        for (const production_record::ClaimRequest& request : requests) {
            m_claims.append(request);
            m_claimed.emplace_back();
            results.push_back(m_claimed.back().get_future());
        }
    }
    m_wake.notify_one();
    QList<production_record::ClaimResult> claimed;
    for (auto& result : results) {
        const auto one = await(result);
        if (!one)
            return std::nullopt;
        claimed << *one;
    }
    return claimed;
}

std::optional<std::optional<QString>> RecordWorker::add(const production_record::RecordRow& row) {
    std::future<std::optional<QString>> result;
    {
        std::lock_guard lock(m_mutex);
        m_rows.append(row);
        m_added.emplace_back();
        result = m_added.back().get_future();
    }
    m_wake.notify_one();
    return await(result);
}

void RecordWorker::serve() {
    production_record::RecordConnection connection(
        m_target, production_record::RecordConnection::Mode::ReadWrite, m_waits);
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] {
            return m_stopping || !m_jobs.isEmpty() || !m_claims.isEmpty() || !m_rows.isEmpty();
        });
        if (m_jobs.isEmpty() && m_claims.isEmpty() && m_rows.isEmpty())
            return;
        const auto jobs = std::exchange(m_jobs, {});
        const auto claims = std::exchange(m_claims, {});
        auto claimed = std::exchange(m_claimed, {});
        const auto rows = std::exchange(m_rows, {});
        auto added = std::exchange(m_added, {});
        lock.unlock();
        for (const auto& job : jobs)
            job(connection);
        if (!claims.isEmpty()) {
            const QList<production_record::ClaimResult> results =
                production_record::ClaimUnits(connection, claims);
            for (qsizetype index = 0; index < claims.size(); ++index)
                claimed[static_cast<std::size_t>(index)].set_value(results[index]);
        }
        if (!rows.isEmpty()) {
            const std::optional<QString> error = production_record::InsertRows(connection, rows);
            for (auto& promise : added)
                promise.set_value(error);
        }
        lock.lock();
    }
}

} // namespace production_record
