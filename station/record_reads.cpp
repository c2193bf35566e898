#include "record_reads.h"

#include <QDeadlineTimer>

#include <chrono>

namespace station {
namespace {

// How long the window's read may wait for another session's lock or a server restarting.
constexpr std::chrono::seconds kReadWait{10};
// How long closing the window waits for a read still at the record.
constexpr std::chrono::milliseconds kCloseWait{2000};

} // namespace

RecordReads::RecordReads(ProductionLine& line, QObject* parent)
    : QObject(parent), m_line(line), m_receiver(std::make_shared<Receiver>()) {
    m_receiver->object = this;
}

RecordReads::~RecordReads() {
    {
        std::lock_guard lock(m_receiver->mutex);
        m_receiver->object = nullptr;
    }
    m_receiver->closing = true;
    const QDeadlineTimer deadline(kCloseWait);
    for (auto& thread : m_threads) {
        // One stuck in a server that stopped answering is let go, to end with the process.
        if (!thread->wait(deadline))
            (void)thread.release();
    }
}

void RecordReads::runAside(std::function<void(production_record::RecordWaits)> job) {
    // Threads that are done are forgotten as the next one starts.
    std::erase_if(m_threads,
                  [](const std::unique_ptr<QThread>& thread) { return thread->isFinished(); });
    m_threads.emplace_back(QThread::create([job = std::move(job), receiver = m_receiver] {
        job(production_record::RecordWaits{kReadWait, &receiver->closing});
    }));
    m_threads.back()->start();
}

} // namespace station
