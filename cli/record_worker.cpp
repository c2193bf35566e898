#include "record_worker.h"

namespace cli {

RecordWorker::RecordWorker(production_record::RecordTarget target)
    : m_target(std::move(target)), m_thread(QThread::create([this] { serve(); })) {
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

production_record::ClaimResult RecordWorker::claim(const production_record::ClaimRequest& request) {
    std::future<production_record::ClaimResult> result;
    {
        std::lock_guard lock(m_mutex);
        m_claims.append(request);
        m_claimed.emplace_back();
        result = m_claimed.back().get_future();
    }
    m_wake.notify_one();
    return result.get();
}

std::optional<QString> RecordWorker::add(const production_record::RecordRow& row) {
    std::future<std::optional<QString>> result;
    {
        std::lock_guard lock(m_mutex);
        m_rows.append(row);
        m_added.emplace_back();
        result = m_added.back().get_future();
    }
    m_wake.notify_one();
    return result.get();
}

void RecordWorker::serve() {
    production_record::RecordConnection connection(m_target);
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

} // namespace cli
