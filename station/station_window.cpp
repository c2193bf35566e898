#include "station_window.h"

#include "simulated_slots.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <cmath>

namespace station {
namespace {

constexpr int kMessagePoints = 14;

// Columns for `count` tiles: a square-ish grid, never more than four across.
int ColumnsFor(qsizetype count) {
    return std::clamp(static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count)))), 1, 4);
}

} // namespace

StationWindow::StationWindow(SimulatedSlots* simulated, QWidget* parent)
    : QWidget(parent), m_simulated(simulated), m_pages(new QStackedWidget), m_form(new JobForm),
      m_tileArea(new QWidget), m_summary(new LineSummary), m_message(new QLabel),
      m_start(new QPushButton(tr("&Start line"))), m_stop(new QPushButton(tr("S&top line"))),
      m_editJob(new QPushButton(tr("&Job…"))) {
    setWindowTitle(simulated ? tr("Cordelo Station (simulated modules)") : tr("Cordelo Station"));
    m_start->setShortcut(Qt::Key_F5);
    m_stop->setShortcut(Qt::SHIFT | Qt::Key_F5);
    m_start->setToolTip(tr("Start every slot of the line (F5)"));
    m_stop->setToolTip(tr("Stop the line; a module being written is finished first (Shift+F5)"));
    m_editJob->setToolTip(tr("Show the job: profile, placeholders, values, record and ports"));
    m_stop->setEnabled(false);
    m_editJob->setEnabled(false);
    connect(m_start, &QPushButton::clicked, this, &StationWindow::requestStart);
    connect(m_stop, &QPushButton::clicked, this, &StationWindow::stopRequested);
    connect(m_editJob, &QPushButton::clicked, this, [this] {
        m_pages->setCurrentWidget(m_form);
        m_editJob->setEnabled(false);
    });
    connect(m_form, &JobForm::problem, this,
            [this](const QString& text) { showMessage(text, true); });

    QFont large = font();
    large.setPointSize(kMessagePoints);
    m_message->setFont(large);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setMargin(8);
    m_message->hide();

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_start, m_stop, m_editJob}) {
        button->setFont(large);
        buttons->addWidget(button);
    }
    buttons->addStretch();

    auto* linePage = new QWidget;
    auto* lineLayout = new QHBoxLayout(linePage);
    lineLayout->setContentsMargins(0, 0, 0, 0);
    lineLayout->addWidget(m_tileArea, 3);
    lineLayout->addWidget(m_summary, 1);
    new QGridLayout(m_tileArea);
    m_tileArea->layout()->setContentsMargins(0, 0, 0, 0);
    m_pages->addWidget(m_form);
    m_pages->addWidget(linePage);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_message);
    layout->addWidget(m_pages, 1);
}

void StationWindow::showRunning(const QList<SlotState>& slotStates) {
    qDeleteAll(m_tileArea->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    m_tiles.clear();
    auto* grid = static_cast<QGridLayout*>(m_tileArea->layout());
    const int columns = ColumnsFor(slotStates.size());
    QWidget* previous = m_editJob;
    for (int slot = 0; slot < slotStates.size(); ++slot) {
        auto* tile = new SlotTile;
        tile->showState(slotStates[slot]);
        m_tiles << tile;
        connect(tile, &SlotTile::againClicked, this, [this, slot] { emit againRequested(slot); });
        auto* cell = new QWidget(m_tileArea);
        auto* cellLayout = new QVBoxLayout(cell);
        cellLayout->setContentsMargins(0, 0, 0, 0);
        cellLayout->addWidget(tile, 1);
        setTabOrder(previous, tile);
        setTabOrder(tile, tile->againButton());
        previous = tile->againButton();
        if (m_simulated) {
            QWidget* bar = makeSimulatedBar(slot);
            cellLayout->addWidget(bar);
            for (QWidget* button : bar->findChildren<QPushButton*>()) {
                setTabOrder(previous, button);
                previous = button;
            }
        }
        grid->addWidget(cell, slot / columns, slot % columns);
    }
    setTabOrder(previous, m_summary->unitList());
    m_pages->setCurrentIndex(1);
    m_message->hide();
    m_start->setEnabled(false);
    m_stop->setEnabled(true);
    m_editJob->setEnabled(false);
}

void StationWindow::showSlot(int slot, const SlotState& state) {
    if (slot >= 0 && slot < m_tiles.size())
        m_tiles[slot]->showState(state);
}

void StationWindow::showUnit(const FinishedUnit& unit) {
    m_summary->addUnit(unit);
}

void StationWindow::showFigures(const LineFigures& figures) {
    m_summary->showFigures(figures);
}

void StationWindow::showStopped(const QString& reason) {
    m_start->setEnabled(true);
    m_stop->setEnabled(false);
    m_editJob->setEnabled(true);
    if (reason.isEmpty())
        showMessage(tr("The line is stopped. Start it again with F5."), false);
    else
        showMessage(tr("The line stopped: %1").arg(reason), true);
}

void StationWindow::showWarning(const QString& warning) {
    showMessage(warning, true);
}

void StationWindow::showRefusal(const QString& reason) {
    showMessage(tr("The line did not start: %1").arg(reason), true);
}

void StationWindow::closeEvent(QCloseEvent* event) {
    emit closing();
    event->accept();
}

void StationWindow::requestStart() {
    const auto job = m_form->job();
    if (const auto* refused = std::get_if<QString>(&job)) {
        m_pages->setCurrentWidget(m_form);
        showRefusal(*refused);
        return;
    }
    emit startRequested(std::get<production_run::Job>(job));
}

void StationWindow::showMessage(const QString& text, bool problem) {
    // The words say whether it is a problem; the frame only repeats it.
    m_message->setText(text);
    m_message->setFrameStyle(problem ? QFrame::Box : QFrame::NoFrame);
    m_message->setStyleSheet(problem ? QStringLiteral("QLabel { color: #b71c1c; }") : QString());
    m_message->setAccessibleDescription(text);
    m_message->show();
}

QWidget* StationWindow::makeSimulatedBar(int slot) {
    const QString port = m_tiles[slot]->state().port;
    auto* bar = new QWidget;
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 2, 0, 0);
    const std::pair<QString, void (SimulatedSlots::*)(const QString&)> actions[] = {
        {tr("New module"), &SimulatedSlots::putInNew},
        {tr("Take out"), &SimulatedSlots::takeOut},
        {tr("Put back"), &SimulatedSlots::putBack},
        {tr("Faulty module"), &SimulatedSlots::putInFaulty}};
    for (const auto& entry : actions) {
        // Named copies: a lambda cannot capture a structured binding before clang 16.
        const QString text = entry.first;
        const auto action = entry.second;
        auto* button = new QPushButton(text);
        button->setAccessibleDescription(tr("Simulated module in slot %1: %2").arg(port, text));
        connect(button, &QPushButton::clicked, this,
                [this, slot, action] { (m_simulated->*action)(m_tiles[slot]->state().port); });
        layout->addWidget(button);
    }
    return bar;
}

} // namespace station
