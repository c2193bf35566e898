#include "production_run.h"

#include "label_values_from_record.h"
#include "outcome_report.h"
#include "unit_values.h"

#include "label_print/label_printer.h"
#include "label_print/label_template_file.h"
#include "platform/port_names.h"
#include "production_record/printable_text.h"
#include "production_record/record_filter.h"

#include <QThread>

namespace production_run {

ProductionRun::ProductionRun(const platform::PortSource& ports,
                             const std::atomic<bool>* interrupted,
                             const std::atomic<bool>* recordGivenUp)
    : m_ports(ports), m_interrupted(interrupted),
      m_recordGivenUp(recordGivenUp != nullptr ? recordGivenUp : interrupted) {}

ProductionRun::~ProductionRun() {
    // The labels first: each one tells the front end, which outlives the run.
    m_labels.reset();
    // The record's thread first: it may still hold rows that name what follows.
    m_record.reset();
    m_trace.reset();
}

std::optional<QString> ProductionRun::prepare(const Job& job, std::optional<int> modules) {
    m_job = job;
    if (const auto refusal = m_overlays.load(job.profilePath, job.sets))
        return refusal;
    if (const auto refusal = m_overlays.checkBeforeAnyPort(job.first))
        return refusal;
    const bool recording = !job.recordTarget.isEmpty();
    if (m_overlays.usesUnit() && !recording)
        return kUnitNeedsRecord;
    if (!job.valuesPath.isEmpty()) {
        if (const auto refusal = m_values.load(job.valuesPath))
            return refusal;
    }
    if (!job.labelTemplate.isEmpty()) {
        auto label = label_print::LoadLabelTemplate(job.labelTemplate, job.bench);
        if (const auto* refusal = std::get_if<QString>(&label))
            return *refusal;
        if (!job.labelPrinter.isEmpty()) {
            if (const auto missing = label_print::PrinterMissing(job.labelPrinter))
                return QStringLiteral("--printer: ") + *missing;
        }
        m_labels = std::make_unique<label_print::LabelQueue>(
            std::get<profile::LabelTemplate>(std::move(label)), job.labelPdfFolder,
            job.labelPrinter);
    }
    if (!job.tracePath.isEmpty()) {
        m_traceFile.setFileName(job.tracePath);
        if (!m_traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return QStringLiteral("cannot write the trace %1: %2")
                .arg(m_traceFile.fileName(), m_traceFile.errorString());
        }
        m_trace = std::make_unique<platform::SerialTrace>(m_traceFile, m_clock);
    }
    if (!job.logPath.isEmpty() && !m_log.open(job.logPath)) {
        return QStringLiteral("cannot append to the log %1: %2")
            .arg(job.logPath, m_log.errorString());
    }
    if (recording) {
        m_record = std::make_unique<RunRecord>();
        return m_record->open(job, m_overlays.usesUnit(),
                              job.valuesPath.isEmpty() ? nullptr : &m_values, modules.value_or(0),
                              m_recordGivenUp);
    }
    return std::nullopt;
}

std::variant<profile::ModuleSettings, Refusal> ProductionRun::overlayFor(int module, int number,
                                                                         const QString& port,
                                                                         const ModuleOutcome& sofar,
                                                                         std::optional<int>& unit) {
    UnitValues filled{platform::PortNumberOf(port), LastFourHexDigits(sofar.deviceAddress),
                      m_job.first + number};
    profile::ModuleSettings valuesRow;
    if (m_record) {
        if (const auto other = m_addresses.take(sofar.deviceAddress, port)) {
            return Refusal{ExitStatus::Usage,
                           QStringLiteral("the module answers with the device address %1, as "
                                          "the module on %2 does; the record knows a unit by "
                                          "its address, so this one was not written")
                               .arg(production_record::PrintableText(sofar.deviceAddress), *other)};
        }
        const auto claimed = m_record->claim(module, sofar);
        if (const auto* refusal = std::get_if<Refusal>(&claimed))
            return *refusal;
        const auto& taken = std::get<production_record::UnitClaim>(claimed);
        unit = taken.unit;
        filled.unit = taken.unit.value_or(0);
        if (taken.valuesRow)
            valuesRow = m_values.row(*taken.valuesRow);
    }
    const auto overlay = m_overlays.forUnit(filled, valuesRow);
    if (const auto* refusal = std::get_if<QString>(&overlay))
        return Refusal{ExitStatus::Usage, *refusal};
    return std::get<profile::ModuleSettings>(overlay);
}

std::optional<profile::ModuleSettings> ProductionRun::knownOverlay(int number, const QString& port,
                                                                   const ModuleOutcome& sofar,
                                                                   std::optional<int>& unit) {
    UnitValues filled{platform::PortNumberOf(port), LastFourHexDigits(sofar.deviceAddress),
                      m_job.first + number};
    profile::ModuleSettings valuesRow;
    if (m_record) {
        // A clone is refused by the overlay, as for any module.
        if (sofar.deviceAddress.isEmpty() || m_addresses.take(sofar.deviceAddress, port))
            return std::nullopt;
        const auto known = m_record->lookUp(sofar.deviceAddress);
        if (!known || !known->passedBefore || (m_overlays.usesUnit() && !known->unit) ||
            (!m_job.valuesPath.isEmpty() && !known->valuesRow))
            return std::nullopt;
        unit = known->unit;
        filled.unit = known->unit.value_or(0);
        if (known->valuesRow)
            valuesRow = m_values.row(*known->valuesRow);
    }
    const auto overlay = m_overlays.forUnit(filled, valuesRow);
    if (std::holds_alternative<QString>(overlay))
        return std::nullopt;
    return std::get<profile::ModuleSettings>(overlay);
}

ModuleOutcome ProductionRun::provision(int module, const QString& port, RunEvents& events) {
    return provisionBy(module, port, events, std::nullopt,
                       [this](const ModuleJob& job, const StepReport& step) {
                           return RunModuleJob(job, m_trace.get(), step);
                       });
}

ModuleOutcome ProductionRun::provision(int module, PortWatch& watch, const Sighting& seen,
                                       RunEvents& events, const SlotProvision& slot) {
    return provisionBy(module, watch.port(), events, slot,
                       [&watch, &seen](const ModuleJob& job, const StepReport& step) {
                           return RunModuleJobOn(watch.link(), watch.device(), job, seen, step);
                       });
}

ModuleOutcome ProductionRun::provisionBy(int module, const QString& port, RunEvents& events,
                                         const std::optional<SlotProvision>& slot,
                                         const Exchange& exchange) {
    events.moduleBegan(module, port);
    if (m_record)
        m_record->began(module);
    const int number = slot ? slot->number : module;
    ModuleJob job{m_job.verb, port, {}, m_job.verify, m_interrupted, &m_ports};
    std::optional<int> claimedUnit;
    std::optional<label_print::LabelQueue::Draft> draft;
    if (m_record)
        job.beforeChange = [this] { return m_record->ready(); };
    if (m_record || m_labels) {
        job.acknowledged = [this, module, &claimedUnit, &draft](const ModuleOutcome& sofar,
                                                                qsizetype commands) {
            if (m_record)
                m_record->acknowledged(module, sofar, commands);
            // The whole write is in: the label is drawn while the verifying query runs, so
            // that modules passing together do not wait for their labels one by one.
            if (m_labels && m_job.verb == Verb::Write && sofar.written.size() == commands)
                draft = m_labels->drawAhead(labelValuesOf(sofar, claimedUnit));
        };
    }
    job.overlay = [this, module, number, port, &claimedUnit](const ModuleOutcome& sofar) {
        return overlayFor(module, number, port, sofar, claimedUnit);
    };
    std::optional<int> knownUnit;
    if (slot && !slot->writeAnyway) {
        job.known = [this, number, port, &knownUnit](const ModuleOutcome& sofar) {
            return knownOverlay(number, port, sofar, knownUnit);
        };
    }
    ModuleOutcome outcome =
        exchange(job, [&](const QString& step) { events.stepTaken(module, step); });
    if (outcome.held) {
        // Nothing was done: no row, no log line, and the unit is the one it has.
        outcome.unit = knownUnit;
        if (m_record)
            m_record->leave(module);
        events.moduleFinished(module, outcome);
        return outcome;
    }
    // Every port on the machine is not every port with a module: an onboard UART with
    // nothing on it is no failure of the run, nor of the record.
    if (m_job.all && outcome.silent) {
        outcome.status = ExitStatus::Done;
        outcome.message = QStringLiteral("empty: nothing answered");
    }
    if (m_record) {
        if (const auto warning = m_record->keep(module, m_job.verb, outcome)) {
            outcome.rowSpooled = true;
            events.recordWarned(module, port, *warning);
        }
    }
    if (m_log.isOpen())
        m_log.append(outcome);
    outcome.labelComing =
        m_labels && m_job.verb == Verb::Write && outcome.status == ExitStatus::Done;
    events.moduleFinished(module, outcome);
    // After moduleFinished, so that a front end hears of the module before its label.
    if (outcome.labelComing)
        printLabel(module, outcome, events, draft);
    else if (draft)
        m_labels->drop(*draft);
    return outcome;
}

label_print::LabelValues ProductionRun::labelValuesOf(const ModuleOutcome& outcome,
                                                      std::optional<int> unit) const {
    production_record::RecordRow row = RowOfOutcome(Verb::Write, outcome, m_job.bench, unit);
    if (outcome.time.isValid())
        row.time = outcome.time;
    return LabelValuesFromRow(row);
}

void ProductionRun::printLabel(int module, const ModuleOutcome& outcome, RunEvents& events,
                               std::optional<label_print::LabelQueue::Draft> draft) {
    const label_print::LabelValues values = labelValuesOf(outcome, outcome.unit);
    {
        std::lock_guard lock(m_labelsMutex);
        m_labelled[module] = {values, outcome};
    }
    queueLabel(module, values, outcome, false, events, draft);
}

bool ProductionRun::printLabelAgain(int module, RunEvents& events) {
    std::optional<Labelled> last;
    {
        std::lock_guard lock(m_labelsMutex);
        if (const auto found = m_labelled.find(module); found != m_labelled.end())
            last = found->second;
    }
    if (!m_labels || !last)
        return false;
    queueLabel(module, last->values, last->outcome, true, events);
    return true;
}

void ProductionRun::queueLabel(int module, const label_print::LabelValues& values,
                               const ModuleOutcome& outcome, bool reprint, RunEvents& events,
                               std::optional<label_print::LabelQueue::Draft> draft) {
    m_labels->print(
        values,
        [this, module, values, outcome, reprint, &events](const label_print::LabelPrint& print) {
            {
                std::lock_guard lock(m_labelsMutex);
                m_printed[module] = print;
            }
            if (m_record)
                m_record->noteLabel({production_record::AddressKey(values.address), values.unit,
                                     QDateTime::currentDateTimeUtc(), m_job.bench,
                                     m_job.labelTemplate, print.where, print.printed, print.reason,
                                     reprint});
            ModuleOutcome printed = outcome;
            printed.label = print;
            events.labelPrinted(module, printed);
        },
        draft);
}

std::vector<ModuleOutcome> ProductionRun::provisionAll(const QStringList& ports,
                                                       RunEvents& events) {
    std::vector<ModuleOutcome> outcomes(ports.size());
    // QThreads, since a serial port needs a thread that Qt knows for its notifiers.
    std::vector<std::unique_ptr<QThread>> threads;
    for (int index = 0; index < ports.size(); ++index) {
        threads.emplace_back(QThread::create([this, &outcomes, &events, &ports, index] {
            outcomes[index] = provision(index, ports[index], events);
        }));
        threads.back()->start();
    }
    for (const auto& thread : threads)
        thread->wait();
    m_trace.reset();
    if (m_labels) {
        finishLabels();
        std::lock_guard lock(m_labelsMutex);
        for (const auto& [module, print] : m_printed)
            outcomes[module].label = print;
    }
    return outcomes;
}

void ProductionRun::releaseAddress(const QString& deviceAddress, const QString& port) {
    m_addresses.release(deviceAddress, port);
}

bool ProductionRun::addressHeldElsewhere(const QString& deviceAddress, const QString& port) {
    const std::optional<QString> owner = m_addresses.ownerOf(deviceAddress);
    return owner && *owner != port;
}

std::optional<Refusal> ProductionRun::recordReady() const {
    return m_record ? m_record->ready() : std::nullopt;
}

std::optional<int> ProductionRun::valuesLeft() {
    if (!m_record || m_job.valuesPath.isEmpty())
        return std::nullopt;
    return m_record->valuesLeft();
}

QMap<QString, QDateTime> ProductionRun::writesCutShort(const QStringList& ports) {
    if (!m_record)
        return {};
    return m_record->writesCutShort(ports).value_or(QMap<QString, QDateTime>());
}

std::optional<int> ProductionRun::valuesRows() const {
    if (m_job.valuesPath.isEmpty())
        return std::nullopt;
    return m_values.size();
}

QStringList ProductionRun::spoolNotes() {
    return m_record ? m_record->spoolNotes() : QStringList();
}

bool ProductionRun::postToRecord(std::function<void(production_record::RecordConnection&)> read) {
    if (!m_record)
        return false;
    m_record->post(std::move(read));
    return true;
}

void ProductionRun::finishLabels() {
    if (m_labels)
        m_labels->waitUntilIdle();
    if (m_labels && m_record)
        m_record->settleLabels();
}

int ProductionRun::rowsWaiting() const {
    return m_record ? m_record->rowsWaiting() : 0;
}

} // namespace production_run
