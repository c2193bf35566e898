// The station's window: the job, then a tile per slot and the line at a glance, with Start and
// Stop for the whole line. It shows what it is told and asks for what the operator does; the
// binding connects it to the production line.
#pragma once

#include "job_form.h"
#include "line_summary.h"
#include "slot_state.h"
#include "slot_tile.h"

#include "production_run/job.h"

#include <QLabel>
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

signals:
    void startRequested(const production_run::Job& job);
    void stopRequested();
    void againRequested(int slot);
    // The window is closing: the line must stop first.
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void requestStart();
    void showMessage(const QString& text, bool problem);
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
};

} // namespace station
