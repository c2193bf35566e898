// The production line of the station: one slot per port, each on a thread of its own that
// pings its port about twice a second, provisions a module as soon as one answers with an
// address that has not passed there, and waits for it to be taken out. One production run
// serves every slot, so the record, the values list and the log are the command line's own.
#pragma once

#include "slot_state.h"

#include "platform/port_source.h"
#include "production_record/record_connection.h"
#include "production_run/job.h"
#include "production_run/module_job.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace station {

class ProductionLine : public QObject {
    Q_OBJECT

public:
    // `ports` must outlive the line.
    explicit ProductionLine(const platform::PortSource& ports, QObject* parent = nullptr);
    ~ProductionLine() override;

    // Starts every slot on the job's ports (or every port there is, with `all`): why the job is
    // refused, or nothing. The record is made ready in the background; a record that cannot be
    // used stops the line (lineStopped) before any module is written.
    std::optional<QString> start(const production_run::Job& job);
    // Lets a slot that is writing finish its command (or stop at the next safe point) and keep
    // its row; returns once every slot has ended.
    void stop();
    bool isRunning() const;

    // The module in this slot is written again, though it passed there before.
    void again(int slot);
    // The label of the module that passed in this slot is printed again; the slot tells how
    // it went as for the first.
    void printLabelAgain(int slot);

    // Runs `read` on the record's thread while the line runs with a record, without waiting
    // for it: false otherwise.
    bool postToRecord(std::function<void(production_record::RecordConnection&)> read);

    QList<SlotState> slotStates() const;
    LineFigures figures() const;
    // The last units finished, the newest first.
    QList<FinishedUnit> recentUnits() const;

signals:
    // Queued to the line's thread: each signal comes after the change it tells of.
    void slotChanged(int slot, const station::SlotState& state);
    void unitFinished(const station::FinishedUnit& unit);
    void figuresChanged();
    // The line stopped by itself, such as when the record cannot be used: why, in words.
    void lineStopped(const QString& reason);
    // Something the operator should see to soon, such as a values list nearly used up.
    void lineWarned(const QString& warning);

private:
    // From a slot's thread: tallies the module and tells the window.
    void countFinished(const production_run::ModuleOutcome& outcome);
    // From any thread: stops the line on its own thread and says why.
    void stopWithReason(const QString& reason);
    // Stops the line when the values list has no row left; true when it did.
    bool stopForValuesLeft(std::optional<int> left);

    struct Private;
    std::unique_ptr<Private> m_private;
};

} // namespace station
