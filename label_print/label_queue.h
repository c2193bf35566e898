// The labels of a run, printed one after another on a thread of their own, so that drawing and
// writing a label never holds up the module that comes next.
#pragma once

#include "label_outcome.h"
#include "label_values.h"

#include <QByteArray>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

namespace label_print {

class LabelQueue {
public:
    using Done = std::function<void(const LabelPrint&)>;
    // A label drawn ahead of its print, by the number drawAhead gave it.
    using Draft = int;

    // Each label from `label`, as a PDF file in `folder`, or on `printer` when one is named.
    LabelQueue(profile::LabelTemplate label, QString folder, QString printer = {});
    // Prints every label still queued, then ends the thread.
    ~LabelQueue();
    LabelQueue(const LabelQueue&) = delete;
    LabelQueue& operator=(const LabelQueue&) = delete;

    // Draws the label of a unit that may pass soon (its write is acknowledged and its
    // verifying query runs) and stages its file, so that once the unit passes the file only
    // takes its name. Nothing for a printer, whose page is drawn on its own device as it prints.
    std::optional<Draft> drawAhead(const LabelValues& values);
    // The unit did not pass: its draft is thrown away, drawn or not.
    void drop(Draft draft);
    // Queues the unit's label, from its draft when that holds the same values; `done` is
    // called on the label thread once it is printed or could not be.
    void print(const LabelValues& values, Done done, std::optional<Draft> draft = std::nullopt);
    // Returns once every label queued so far is done.
    void waitUntilIdle();

private:
    struct Queued {
        LabelValues values;
        // Empty for a label drawn ahead.
        Done done;
        std::optional<Draft> draft;
    };
    struct Drawn {
        LabelValues values;
        std::variant<QByteArray, QString> pdf;
        // Its staged file is on disk.
        bool staged = false;
    };
    void printQueued();
    Drawn drawAheadNow(const LabelValues& values) const;
    LabelPrint printOne(const LabelValues& values, const std::optional<Drawn>& ahead) const;
    void discard(const Drawn& drawn) const;

    const profile::LabelTemplate m_label;
    const QString m_folder;
    const QString m_printer;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Queued> m_queued;
    // Every draft whose unit may still pass, once drawn with what it holds.
    std::map<Draft, std::optional<Drawn>> m_drafts;
    Draft m_nextDraft = 0;
    bool m_busy = false;
    bool m_ending = false;
    std::unique_ptr<QThread> m_thread;
};

} // namespace label_print
