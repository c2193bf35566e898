// The labels of a run, printed one after another on a thread of their own, so that drawing and
// writing a label never holds up the module that comes next.
#pragma once

#include "label_outcome.h"
#include "label_values.h"

#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace label_print {

class LabelQueue {
public:
    using Done = std::function<void(const LabelPrint&)>;

    // Each label from `label`, as a PDF file in `folder`, or on `printer` when one is named.
    LabelQueue(profile::LabelTemplate label, QString folder, QString printer = {});
    // Prints every label still queued, then ends the thread.
    ~LabelQueue();
    LabelQueue(const LabelQueue&) = delete;
    LabelQueue& operator=(const LabelQueue&) = delete;

    // Queues the unit's label; `done` is called on the label thread once it is printed or
    // could not be.
    void print(const LabelValues& values, Done done);
    // Returns once every label queued so far is done.
    void waitUntilIdle();

private:
    struct Queued {
        LabelValues values;
        Done done;
    };
    void printQueued();

    const profile::LabelTemplate m_label;
    const QString m_folder;
    const QString m_printer;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Queued> m_queued;
    bool m_busy = false;
    bool m_ending = false;
    std::unique_ptr<QThread> m_thread;
};

} // namespace label_print
