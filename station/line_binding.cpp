#include "line_binding.h"

#include "window_words.h"

#include <QSysInfo>
#include <QTimer>

#include <chrono>

namespace station {
namespace {

// Units per hour fall as the last hour passes, running or stopped, so the window asks for the
// figures again this often rather than only when a unit finishes.
constexpr std::chrono::seconds kFiguresRefresh{15};

} // namespace

LineBinding::LineBinding(ProductionLine& line, StationWindow& window, JobCheck check)
    : QObject(&window), m_line(line), m_window(window), m_check(std::move(check)) {
    // A child of the window, which it shows its finds in.
    new UnitSearch(line, window);
    connect(&window, &StationWindow::startRequested, this,
            [this](const production_run::Job& job) { start(job); });
    connect(&window, &StationWindow::stopRequested, this, [this] {
        stop();
        m_window.showStopped();
    });
    connect(&window, &StationWindow::closing, this, &LineBinding::stop);
    connect(&window, &StationWindow::againRequested, &line, &ProductionLine::again);
    connect(&window, &StationWindow::printLabelAgainRequested, &line,
            &ProductionLine::printLabelAgain);
    connect(&line, &ProductionLine::slotChanged, &window, &StationWindow::showSlot);
    connect(&line, &ProductionLine::unitFinished, &window, &StationWindow::showUnit);
    connect(&line, &ProductionLine::figuresChanged, this,
            [this] { m_window.showFigures(m_line.figures()); });
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, [this] { m_window.showFigures(m_line.figures()); });
    refresh->start(kFiguresRefresh);
    connect(&line, &ProductionLine::lineWarned, &window, &StationWindow::showWarning);
    connect(&line, &ProductionLine::lineStopped, this, [this](const QString& reason) {
        m_line.stop();
        m_window.showStopped(reason);
    });
}

bool LineBinding::start(production_run::Job job) {
    // As cordelo-cli names it: a bench not named is this machine.
    if (job.bench.isEmpty())
        job.bench = QSysInfo::machineHostName();
    std::optional<QString> refused = m_check ? m_check(job) : std::nullopt;
    if (!refused)
        refused = m_line.start(job);
    if (refused) {
        m_window.showRefusal(InTheWindowsWords(*refused));
        return false;
    }
    m_window.showRunning(m_line.slotStates());
    m_window.showFigures(m_line.figures());
    return true;
}

void LineBinding::stop() {
    if (m_line.isRunning())
        m_line.stop();
}

} // namespace station
