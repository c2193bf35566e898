#include "station_window.h"

#include "problem_text.h"
#include "simulated_slots.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextEdit>
#include <QVBoxLayout>

#include <cmath>

namespace station {
namespace {

constexpr int kMessagePoints = 14;

// Columns for `count` tiles: a square-ish grid, never more than four across.
int ColumnsFor(qsizetype count) {
    return std::clamp(static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count)))), 1, 4);
}

// A field that takes typed keys for itself; a combo box finds its items by them.
bool TakesTypedKeys(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QComboBox*>(widget);
}

// A key a scanner types as part of a code: a visible character, without Ctrl or Alt, which
// are the window's shortcuts. A blank does not begin a code, and Space clicks a button.
bool BeginsOrContinuesCode(const QKeyEvent& key) {
    const Qt::KeyboardModifiers shortcuts =
        Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const QString text = key.text();
    return !(key.modifiers() & shortcuts) && text.size() == 1 && text.front().isPrint() &&
           !text.front().isSpace();
}

} // namespace

StationWindow::StationWindow(SimulatedSlots* simulated, QWidget* parent)
    : QWidget(parent), m_simulated(simulated), m_pages(new QStackedWidget), m_form(new JobForm),
      m_tileArea(new QWidget), m_summary(new LineSummary), m_message(new QLabel),
      m_start(new QPushButton(tr("&Start line"))), m_stop(new QPushButton(tr("S&top line"))),
      m_editJob(new QPushButton(tr("&Job…"))), m_find(new QLineEdit),
      m_history(new UnitHistoryView) {
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
    m_find->setPlaceholderText(tr("Scan a label, or type a unit number or address"));
    m_find->setClearButtonEnabled(true);
    m_find->setToolTip(tr("Find a unit in the record and show its history (Ctrl+F)"));
    m_find->setMinimumWidth(m_find->fontMetrics().horizontalAdvance(m_find->placeholderText()) +
                            m_find->fontMetrics().averageCharWidth() * 6);
    connect(m_find, &QLineEdit::returnPressed, this, [this] {
        const QString code = m_find->text().trimmed();
        // Selected, the code shows that the next scan replaces it.
        m_find->selectAll();
        m_codeLookedUp = true;
        if (!code.isEmpty())
            emit findRequested(code);
    });
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        m_find->setFocus(Qt::ShortcutFocusReason);
        m_find->selectAll();
    });
    qApp->installEventFilter(this);

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
    auto* findLabel = new QLabel(tr("&Find:"));
    findLabel->setBuddy(m_find);
    m_find->setAccessibleName(tr("Find a unit"));
    buttons->addWidget(findLabel);
    buttons->addWidget(m_find);

    auto* linePage = new QWidget;
    auto* lineLayout = new QHBoxLayout(linePage);
    lineLayout->setContentsMargins(0, 0, 0, 0);
    lineLayout->addWidget(m_tileArea, 3);
    lineLayout->addWidget(m_summary, 1);
    new QGridLayout(m_tileArea);
    m_tileArea->layout()->setContentsMargins(0, 0, 0, 0);
    m_pages->addWidget(m_form);
    m_pages->addWidget(linePage);
    m_pages->addWidget(m_history);
    connect(m_history, &UnitHistoryView::closed, this, &StationWindow::closeHistory);

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
        connect(tile, &SlotTile::printAgainClicked, this,
                [this, slot] { emit printLabelAgainRequested(slot); });
        auto* cell = new QWidget(m_tileArea);
        auto* cellLayout = new QVBoxLayout(cell);
        cellLayout->setContentsMargins(0, 0, 0, 0);
        cellLayout->addWidget(tile, 1);
        setTabOrder(previous, tile);
        setTabOrder(tile, tile->printAgainButton());
        setTabOrder(tile->printAgainButton(), tile->againButton());
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

void StationWindow::showHistory(const production_record::UnitHistory& history) {
    if (m_pages->currentWidget() != m_history)
        m_beforeHistory = m_pages->currentWidget();
    m_history->showHistory(history);
    m_pages->setCurrentWidget(m_history);
    m_message->hide();
}

void StationWindow::showFindOutcome(const QString& outcome, bool problem) {
    // The unit found before is no answer to a code that found none.
    if (problem)
        closeHistory();
    showMessage(outcome, problem);
}

void StationWindow::closeHistory() {
    if (m_pages->currentWidget() == m_history)
        m_pages->setCurrentWidget(m_beforeHistory ? m_beforeHistory : m_form);
}

bool StationWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    // The key's receiver is the focus widget, or its parent when that one let the key go.
    const auto* widget = static_cast<QWidget*>(watched);
    const auto& key = *static_cast<QKeyEvent*>(event);
    if (widget == m_find) {
        // A code after one looked up is a new one, even where a click or the window losing the
        // focus took the selection away; any other key edits the code looked up.
        if (m_codeLookedUp && BeginsOrContinuesCode(key))
            m_find->clear();
        m_codeLookedUp = false;
        return false;
    }
    if (widget->window() != this || TakesTypedKeys(widget) || !BeginsOrContinuesCode(key))
        return false;
    // A new scan begins: what the field held before is no part of it.
    if (QApplication::focusWidget() != m_find) {
        m_find->clear();
        m_find->setFocus(Qt::OtherFocusReason);
    }
    QCoreApplication::sendEvent(m_find, event);
    return true;
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
    ShowAsProblem(*m_message, problem);
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
