#include "label_queue.h"

#include "label_pdf.h"
#include "label_printer.h"

#include <QBuffer>
#include <QFile>

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
    for (const auto& [draft, drawn] : m_drafts) {
        if (drawn)
            discard(*drawn);
    }
}

std::optional<LabelQueue::Draft> LabelQueue::drawAhead(const LabelValues& values) {
    if (!m_printer.isEmpty())
        return std::nullopt;
    Draft draft = 0;
    {
        std::lock_guard lock(m_mutex);
        draft = m_nextDraft++;
        m_drafts.emplace(draft, std::nullopt);
        m_queued.push_back({values, nullptr, draft});
    }
    m_changed.notify_all();
    return draft;
}

void LabelQueue::drop(Draft draft) {
    {
        std::lock_guard lock(m_mutex);
        if (const auto kept = m_drafts.extract(draft); !kept.empty() && kept.mapped())
            discard(*kept.mapped());
        std::erase_if(m_queued, [draft](const Queued& queued) {
            return !queued.done && queued.draft == draft;
        });
    }
    m_changed.notify_all();
}

void LabelQueue::print(const LabelValues& values, Done done, std::optional<Draft> draft) {
    {
        std::lock_guard lock(m_mutex);
        m_queued.push_back({values, std::move(done), draft});
    }
    m_changed.notify_all();
}

void LabelQueue::waitUntilIdle() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queued.empty() && !m_busy; });
}

void LabelQueue::printQueued() {
    // A printer's labels are drawn as they print: one is drawn and thrown away while the first
    // modules are still being written, so that loading the fonts does not fall on the first
    // label. Labels in files are drawn ahead, and the first loads them beside its module's
    // verifying query; at the start it would only take the processor from the modules' start.
    if (!m_printer.isEmpty()) {
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
        if (next.done) {
            std::optional<Drawn> ahead;
            if (next.draft) {
                if (auto kept = m_drafts.extract(*next.draft); !kept.empty())
                    ahead = std::move(kept.mapped());
            }
            lock.unlock();
            next.done(printOne(next.values, ahead));
            lock.lock();
        } else {
            lock.unlock();
            Drawn drawn = drawAheadNow(next.values);
            lock.lock();
            if (const auto kept = m_drafts.find(*next.draft); kept != m_drafts.end())
                kept->second = std::move(drawn);
            else
                discard(drawn);
        }
        m_busy = false;
        m_changed.notify_all();
    }
}

LabelPrint LabelQueue::printOne(const LabelValues& values,
                                const std::optional<Drawn>& ahead) const {
    if (!m_printer.isEmpty())
        return PrintLabel(m_printer, m_label, values);
    // A draft of other values (the date has turned since, say) is drawn again.
    if (!ahead || !(ahead->values == values)) {
        if (ahead)
            discard(*ahead);
        return WriteLabelPdf(m_folder, m_label, values);
    }
    if (ahead->staged) {
        if (LabelPrint placed = PlaceStagedLabelPdf(m_folder, values); placed.printed)
            return placed;
        discard(*ahead);
    }
    return SaveLabelPdf(LabelFilePath(m_folder, values), ahead->pdf);
}

LabelQueue::Drawn LabelQueue::drawAheadNow(const LabelValues& values) const {
    Drawn drawn{values, DrawLabelPdf(m_label, values)};
    // Synced to disk now, while the module is verified, rather than once it passes.
    drawn.staged = SaveLabelPdf(StagedLabelPath(m_folder, values), drawn.pdf).printed;
    return drawn;
}

void LabelQueue::discard(const Drawn& drawn) const {
    if (drawn.staged)
        QFile::remove(StagedLabelPath(m_folder, drawn.values));
}

} // namespace label_print
