// A production run: the ports, the profile with its placeholders, the values list, the record's
// claims and rows, the log and the trace, one thread per module and the stop flag. The command
// line runs it once over its ports; the station runs one module at a time on each slot.
#pragma once

#include "address_owners.h"
#include "job.h"
#include "module_job.h"
#include "overlay_source.h"
#include "port_watch.h"
#include "production_log.h"
#include "run_events.h"
#include "run_record.h"
#include "values_list.h"

#include "platform/port_source.h"
#include "platform/qt_pacing.h"
#include "label_print/label_queue.h"
#include "platform/serial_trace.h"

#include <QFile>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace production_run {

// How a slot of the station has its module provisioned.
struct SlotProvision {
    // The module's place among the line's modules, for {n}: one module keeps one number.
    int number = 0;
    // A module that holds all its unit should (its unit number and values row are the
    // record's, by address) is not written again, and takes nothing.
    bool writeAnyway = false;
};

// prepare()'s refusal of a job whose values hold {unit} but that names no record, in the
// command line's words: a window words it for its own fields.
inline const QString kUnitNeedsRecord =
    QStringLiteral("{unit} needs --record: unit numbers come from the production record's counter");

class ProductionRun {
public:
    // `ports` and the flags must outlive the run. `interrupted` stops every module at its next
    // step; `recordGivenUp` ends the record's waits, and is `interrupted` unless given, as for
    // Ctrl-C, where nothing may keep the program waiting.
    ProductionRun(const platform::PortSource& ports, const std::atomic<bool>* interrupted,
                  const std::atomic<bool>* recordGivenUp = nullptr);
    ~ProductionRun();
    ProductionRun(const ProductionRun&) = delete;
    ProductionRun& operator=(const ProductionRun&) = delete;

    // Reads the profile and the values list, opens the trace and the log, and starts opening
    // the record: why the job is refused, or nothing. With `modules`, that many modules make
    // their claims together, so that a values list too short for them all writes none; with
    // none, modules come and go (the station's slots) and each claims alone.
    std::optional<QString> prepare(const Job& job, std::optional<int> modules);

    // One module on PORT, on the calling thread, which must be a QThread (a serial port needs
    // one). `module` numbers it within the run from 0; {n} is the job's first plus it.
    ModuleOutcome provision(int module, const QString& port, RunEvents& events);
    // The module a slot's watch saw answer, on the watch's link; {n} is the job's first plus
    // the slot's `number`.
    ModuleOutcome provision(int module, PortWatch& watch, const Sighting& seen, RunEvents& events,
                            const SlotProvision& slot);
    // Where the bytes of every port go, with --trace; null without.
    platform::SerialTrace* trace() const { return m_trace.get(); }
    // Every port at once, each module on a thread of its own, so that a slow or silent one
    // holds up no other; the outcomes in the order of the ports.
    std::vector<ModuleOutcome> provisionAll(const QStringList& ports, RunEvents& events);

    // The module with this address has been taken out of PORT: another module with it may be
    // written elsewhere (two at once would be given one unit).
    void releaseAddress(const QString& deviceAddress, const QString& port);
    // True when a module with this address is in another port than PORT.
    bool addressHeldElsewhere(const QString& deviceAddress, const QString& port);

    // Waits until the record is ready: why it cannot be used, or nothing (also without one).
    std::optional<Refusal> recordReady() const;
    // The rows of the values list no module was ever given, when the job has a list and a
    // record; asks the record.
    std::optional<int> valuesLeft();
    // Of these ports, those whose latest write on the job's bench ended interrupted (the
    // station ended in the middle of it), with that row's time; empty without a record.
    QMap<QString, QDateTime> writesCutShort(const QStringList& ports);
    // The number of rows of the job's values list; nothing without one.
    std::optional<int> valuesRows() const;
    // What to tell about the spool: rows stored from it, lines set aside, rows waiting.
    QStringList spoolNotes();
    // How many rows of the record wait in its spool now, for a front end to show; they are
    // stored as soon as the record answers again.
    int rowsWaiting() const;
    bool keepsARecord() const { return m_record != nullptr; }
    // Runs `read` on the record's thread, without waiting for it: false without a record.
    bool postToRecord(std::function<void(production_record::RecordConnection&)> read);
    // Returns once every label queued so far is printed and told, and its row is in the record
    // or the spool.
    void finishLabels();
    // Prints the module's last label again with the same values, told through
    // RunEvents::labelPrinted like the first and noted in the record as a reprint; false when
    // the module has no label to print again.
    bool printLabelAgain(int module, RunEvents& events);

private:
    using Exchange = std::function<ModuleOutcome(const ModuleJob&, const StepReport&)>;
    ModuleOutcome provisionBy(int module, const QString& port, RunEvents& events,
                              const std::optional<SlotProvision>& slot, const Exchange& exchange);
    // `module` is the module's place in the run, `number` its place for {n}; `unit` is the
    // unit the record gives it.
    std::variant<profile::ModuleSettings, Refusal> overlayFor(int module, int number,
                                                              const QString& port,
                                                              const ModuleOutcome& sofar,
                                                              std::optional<int>& unit);
    // What a module provisioned before holds, with the unit the record gave it; nothing when
    // it may not have been (the record does not know it as passed, or cannot tell).
    std::optional<profile::ModuleSettings> knownOverlay(int number, const QString& port,
                                                        const ModuleOutcome& sofar,
                                                        std::optional<int>& unit);
    // What the label of the module says once its write, all acknowledged, is in it: what its
    // row says, as a reprint from the record will.
    label_print::LabelValues labelValuesOf(const ModuleOutcome& outcome,
                                           std::optional<int> unit) const;
    // Queues the label of a module that passed, from its draft if one was drawn.
    void printLabel(int module, const ModuleOutcome& outcome, RunEvents& events,
                    std::optional<label_print::LabelQueue::Draft> draft);
    void queueLabel(int module, const label_print::LabelValues& values,
                    const ModuleOutcome& outcome, bool reprint, RunEvents& events,
                    std::optional<label_print::LabelQueue::Draft> draft = std::nullopt);

    const platform::PortSource& m_ports;
    const std::atomic<bool>* m_interrupted;
    const std::atomic<bool>* m_recordGivenUp;
    Job m_job;
    OverlaySource m_overlays;
    ValuesList m_values;
    platform::QtPacing m_clock;
    QFile m_traceFile;
    std::unique_ptr<platform::SerialTrace> m_trace;
    ProductionLog m_log;
    AddressOwners m_addresses;
    std::unique_ptr<label_print::LabelQueue> m_labels;
    std::mutex m_labelsMutex;
    std::map<int, label_print::LabelPrint> m_printed;
    // Each module's last label, for printing it again.
    struct Labelled {
        label_print::LabelValues values;
        ModuleOutcome outcome;
    };
    std::map<int, Labelled> m_labelled;
    // Last, so that the record's thread ends before what it uses.
    std::unique_ptr<RunRecord> m_record;
};

} // namespace production_run
