#include "label_queue.h"

#include "label_pdf.h"
#include "label_printer.h"

#include <QBuffer>

namespace label_print {

LabelQueue::LabelQueue(profile::LabelTemplate label, QString folder, QString printer)
    : m_label(std::move(label)), m_folder(std::move(folder)), m_printer(std::move(printer)),
      m_thread(QThread::create([this] { printQueued(); })) {
    m_thread->start();
}

LabelQueue::~LabelQueue() {
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread->wait();
}

void LabelQueue::print(const LabelValues& values, Done done) {
    {
        std::lock_guard lock(m_mutex);
        m_queued.push_back({values, std::move(done)});
    }
    m_changed.notify_all();
}

void LabelQueue::waitUntilIdle() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queued.empty() && !m_busy; });
}

void LabelQueue::printQueued() {
    // One label drawn and thrown away while the first modules are still being written, so
    // that loading the fonts does not fall on the first label a module waits for.
    {
        QBuffer scratch;
        scratch.open(QIODevice::WriteOnly);
        PaintLabelPdf(scratch, m_label, LongestValues(QString()));
    }
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_ending || !m_queued.empty(); });
        if (m_queued.empty())
            return;
        Queued next = std::move(m_queued.front());
        m_queued.pop_front();
        m_busy = true;
        lock.unlock();
        next.done(m_printer.isEmpty() ? WriteLabelPdf(m_folder, m_label, next.values)
                                      : PrintLabel(m_printer, m_label, next.values));
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

} // namespace label_print
