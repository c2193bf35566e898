#include "record_reads.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <thread>

namespace station {
namespace {

// How long the window's read may wait for another session's lock or a server restarting.
constexpr std::chrono::seconds kReadWait{10};

// The threads for the reads aside, kept for the program's life: a read goes to one that waits,
// or to a new one while every one is at the record, so that a read stuck in a server that
// stopped answering holds up no other. None ends before the program does: a thread of MinGW's
// runtime that ends tears down its thread-local storage in an order that can free memory not its
// own, which took a Windows station down as a scan's thread ended.
class ReadsThreads {
public:
    static ReadsThreads& Instance() {
        static ReadsThreads threads;
        return threads;
    }

    void post(std::function<void()> job) {
        std::lock_guard lock(m_queue->mutex);
        m_queue->jobs.push_back(std::move(job));
        if (m_queue->waiting == 0)
            std::thread(Serve, m_queue).detach();
        else
            m_queue->wake.notify_one();
    }

    // At the program's end the reads still queued are dropped, and the threads that wait end; one
    // at the record ends with its window's waits, or with the process.
    ~ReadsThreads() {
        std::lock_guard lock(m_queue->mutex);
        m_queue->ending = true;
        m_queue->wake.notify_all();
    }

private:
    // Shared with the threads, which may outlive this object.
    struct Queue {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> jobs;
        int waiting = 0;
        bool ending = false;
    };

    static void Serve(std::shared_ptr<Queue> queue) {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(queue->mutex);
                ++queue->waiting;
                queue->wake.wait(lock, [&] { return queue->ending || !queue->jobs.empty(); });
                --queue->waiting;
                if (queue->ending)
                    return;
                job = std::move(queue->jobs.front());
                queue->jobs.pop_front();
            }
            job();
        }
    }

    std::shared_ptr<Queue> m_queue = std::make_shared<Queue>();
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
    ReadsThreads::Instance().post([job = std::move(job), receiver = m_receiver] {
        job(production_record::RecordWaits{kReadWait, &receiver->closing});
    });
}

} // namespace station
