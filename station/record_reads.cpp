#include "record_reads.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <thread>

namespace station {
namespace {

// How long the window's read may wait for another session's lock or a server restarting.
constexpr std::chrono::seconds kReadWait{10};

// The one thread for the reads aside, for the program's life. A thread of MinGW's runtime that
// ends tears down its thread-local storage in an order that can free memory not its own, which
// took a Windows station down as a scan's thread ended; this one ends only with the program.
class ReadsThread {
public:
    static ReadsThread& Instance() {
        static ReadsThread thread;
        return thread;
    }

    void post(std::function<void()> job) {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
        }
        m_wake.notify_one();
    }

    // At the program's end a read still waiting is dropped; one at the record ends with its
    // window's waits.
    ~ReadsThread() {
        {
            std::lock_guard lock(m_mutex);
            m_ending = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

private:
    ReadsThread() : m_thread([this] { run(); }) {}

    void run() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_ending || !m_jobs.empty(); });
                if (m_ending)
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_ending = false;
    // Last, so that it starts once the rest is there.
    std::thread m_thread;
};

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
}

void RecordReads::runAside(std::function<void(production_record::RecordWaits)> job) {
    ReadsThread::Instance().post([job = std::move(job), receiver = m_receiver] {
        job(production_record::RecordWaits{kReadWait, &receiver->closing});
    });
}

} // namespace station
