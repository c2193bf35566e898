// The window's questions to the record, such as a scanned unit's history, never on the
// window's thread: on the line's record thread while the line runs with a record, and otherwise
// with a connection of their own on the program's threads for reads aside; and the window's own
// work with the record, such as a label printed again, there too.
#pragma once

#include "production_line.h"

#include "production_record/record_connection.h"
#include "production_record/record_target.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace station {

class RecordReads : public QObject {
    Q_OBJECT

public:
    // `line` must outlive the reads.
    explicit RecordReads(ProductionLine& line, QObject* parent = nullptr);
    // Gives up the reads still waiting for the record, without waiting for them; an answer that
    // comes later is dropped.
    ~RecordReads() override;

    // `read` with a connection to the record at `target` (the line's own while it runs), then
    // `done` with its result on this object's thread.
    template <typename T>
    void read(const production_record::RecordTarget& target,
              std::function<T(production_record::RecordConnection&)> read,
              std::function<void(const T&)> done);
    // `work`, which opens the record itself and takes its time (a label printed again), aside
    // with waits that end as this object goes, then `done` as for a read.
    template <typename T>
    void work(std::function<T(production_record::RecordWaits)> work,
              std::function<void(const T&)> done);

private:
    // Shared with the reads, which may end after this object (a server that is slow to answer).
    struct Receiver {
        std::mutex mutex;
        QObject* object = nullptr;
        std::atomic<bool> closing{false};
    };
    // Calls `done` with the result on this object's thread, if it is still there: a queued call
    // to an object that is gone is dropped by Qt, one not yet made is not.
    template <typename T>
    static void Answer(Receiver& receiver, const std::function<void(const T&)>& done, T result);
    // `job` on a thread for reads aside, with the waits for the record that end as this
    // object goes.
    void runAside(std::function<void(production_record::RecordWaits)> job);

    ProductionLine& m_line;
    std::shared_ptr<Receiver> m_receiver;
};

template <typename T>
void RecordReads::Answer(Receiver& receiver, const std::function<void(const T&)>& done, T result) {
    std::lock_guard lock(receiver.mutex);
    if (receiver.object)
        QMetaObject::invokeMethod(
            receiver.object, [done, result = std::move(result)] { done(result); },
            Qt::QueuedConnection);
}

template <typename T>
void RecordReads::read(const production_record::RecordTarget& target,
                       std::function<T(production_record::RecordConnection&)> read,
                       std::function<void(const T&)> done) {
    auto job = [receiver = m_receiver, read = std::move(read),
                done = std::move(done)](production_record::RecordConnection& connection) {
        Answer(*receiver, done, read(connection));
    };
    if (m_line.postToRecord(job))
        return;
    runAside([target, job = std::move(job)](production_record::RecordWaits waits) {
        production_record::RecordConnection connection(
            target, production_record::RecordConnection::Mode::ReadOnly, waits);
        job(connection);
    });
}

template <typename T>
void RecordReads::work(std::function<T(production_record::RecordWaits)> work,
                       std::function<void(const T&)> done) {
    runAside([receiver = m_receiver, work = std::move(work), done = std::move(done)](
                 production_record::RecordWaits waits) { Answer(*receiver, done, work(waits)); });
}

} // namespace station
