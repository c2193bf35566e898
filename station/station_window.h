// The station's window: the job, then a tile per slot and the line at a glance, with Start and
// Stop for the whole line, and a find field that a scan of a label fills wherever the focus is
// not in a text field. It shows what it is told and asks for what the operator does; the
// binding connects it to the production line.
#pragma once

#include "job_form.h"
#include "line_summary.h"
#include "slot_state.h"
#include "slot_tile.h"
#include "unit_history_view.h"

#include "production_run/job.h"

#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QStackedWidget>
#include <QWidget>

namespace station {

class SimulatedSlots;

class StationWindow : public QWidget {
    Q_OBJECT

public:
    // With `simulated`, each tile has the buttons that put simulated modules in and out; it
    // must outlive the window.
    explicit StationWindow(SimulatedSlots* simulated = nullptr, QWidget* parent = nullptr);

    JobForm* jobForm() const { return m_form; }
    QPushButton* startButton() const { return m_start; }
    QPushButton* stopButton() const { return m_stop; }
    QList<SlotTile*> tiles() const { return m_tiles; }
    QLineEdit* findField() const { return m_find; }
    UnitHistoryView* historyView() const { return m_history; }

public slots:
    // The line runs on these slots (one tile each, in this order).
    void showRunning(const QList<station::SlotState>& slotStates);
    void showSlot(int slot, const station::SlotState& state);
    void showUnit(const station::FinishedUnit& unit);
    void showFigures(const station::LineFigures& figures);
    // The line stopped, by the operator (no reason) or by itself (why, in words).
    void showStopped(const QString& reason = {});
    // The job was refused before the line started: why, in words.
    void showRefusal(const QString& reason);
    // Something the operator should see to soon, such as a values list nearly used up.
    void showWarning(const QString& warning);
    // A unit found by a scan: its history, in place of the line or the job until closed.
    void showHistory(const production_record::UnitHistory& history);
    // What became of a find or a reprint, in words.
    void showFindOutcome(const QString& outcome, bool problem);

signals:
    void startRequested(const production_run::Job& job);
    void stopRequested();
    void againRequested(int slot);
    void printLabelAgainRequested(int slot);
    // A scan or a typed code, with Enter: a unit number or an address in any spelling.
    void findRequested(const QString& code);
    // The window is closing: the line must stop first.
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    // A scanner types its code as keys: those typed where no text field takes them go to the
    // find field.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void requestStart();
    void showMessage(const QString& text, bool problem);
    void closeHistory();
    QWidget* makeSimulatedBar(int slot);

    SimulatedSlots* m_simulated = nullptr;
    QStackedWidget* m_pages = nullptr;
    JobForm* m_form = nullptr;
    QWidget* m_tileArea = nullptr;
    QList<SlotTile*> m_tiles;
    LineSummary* m_summary = nullptr;
    QLabel* m_message = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_editJob = nullptr;
    QLineEdit* m_find = nullptr;
    // The find field's code was looked up; the next one typed replaces it.
    bool m_codeLookedUp = false;
    UnitHistoryView* m_history = nullptr;
    // What the history covers, shown again when it is closed.
    QWidget* m_beforeHistory = nullptr;
};

} // namespace station
