#include "unit_history_view.h"

#include "problem_text.h"
#include "tile_text.h"

#include "production_record/printable_text.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

namespace station {
namespace {

constexpr int kHeadingPoints = 18;

QString TimeText(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QLabel* PlainLabel() {
    auto* label = new QLabel;
    // Names and messages may come from a module.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString LabelText(const production_record::LabelRow& label) {
    const QString when = TimeText(label.time) + QStringLiteral(" on ") + label.bench;
    const QString what =
        label.reprint ? QStringLiteral("Printed again") : QStringLiteral("Printed");
    return label.printed ? QStringLiteral("%1 to %2, %3").arg(what, label.where, when)
                         : QStringLiteral("NOT PRINTED, %1: %2").arg(when, label.reason);
}

} // namespace

UnitHistoryView::UnitHistoryView(QWidget* parent)
    : QWidget(parent), m_heading(PlainLabel()), m_address(PlainLabel()),
      m_rows(new QTableWidget(0, 5)), m_labels(PlainLabel()), m_reprinted(PlainLabel()),
      m_reprint(new QPushButton(tr("&Print label again"))) {
    QFont large = font();
    large.setPointSize(kHeadingPoints);
    large.setBold(true);
    m_heading->setFont(large);
    m_rows->setHorizontalHeaderLabels(
        {tr("Bench"), tr("Time"), tr("Command"), tr("Result"), tr("Message")});
    m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_rows->verticalHeader()->hide();
    // The message takes the room the others leave, however narrow they are.
    m_rows->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
    m_rows->setWordWrap(true);
    m_rows->setAccessibleName(tr("The unit's rows in the record"));
    m_reprinted->hide();

    auto* close = new QPushButton(tr("&Close"));
    close->setShortcut(Qt::Key_Escape);
    close->setToolTip(tr("Back to what the window showed before (Esc)"));
    connect(close, &QPushButton::clicked, this, &UnitHistoryView::closed);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_reprint);
    buttons->addStretch();
    buttons->addWidget(close);
    connect(m_reprint, &QPushButton::clicked, this, [this] { emit reprintRequested(m_history); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_address);
    layout->addWidget(m_rows, 1);
    layout->addWidget(m_labels);
    layout->addWidget(m_reprinted);
    layout->addLayout(buttons);
}

void UnitHistoryView::showHistory(const production_record::UnitHistory& history) {
    m_history = history;
    const QString unit = UnitText(history.unit, production_record::PrintableText(history.name));
    m_heading->setText(unit);
    m_address->setText(tr("Address %1").arg(history.deviceAddress));
    m_rows->setRowCount(static_cast<int>(history.rows.size()));
    for (int at = 0; at < m_rows->rowCount(); ++at) {
        const production_record::RecordRow& row = history.rows[at];
        const QStringList cells = {row.bench, TimeText(row.time), row.command,
                                   QString(row.result).replace(QLatin1Char('_'), QLatin1Char(' ')),
                                   production_record::PrintableText(row.message)};
        for (int column = 0; column < cells.size(); ++column)
            m_rows->setItem(at, column, new QTableWidgetItem(cells[column]));
    }
    m_rows->resizeColumnsToContents();
    m_rows->resizeRowsToContents();
    QStringList labels;
    for (const production_record::LabelRow& label : history.labels)
        labels << LabelText(label);
    m_labels->setText(labels.isEmpty() ? tr("No label was printed for this unit.")
                                       : tr("Labels:\n") + labels.join(QLatin1Char('\n')));
    m_reprinted->hide();
    setReprintRefusal({});
}

void UnitHistoryView::setReprintRefusal(const QString& refusal) {
    m_reprint->setEnabled(refusal.isEmpty());
    m_reprint->setToolTip(refusal.isEmpty() ? tr("Print this unit's label as on the day it passed")
                                            : refusal);
    m_reprint->setAccessibleDescription(m_reprint->toolTip());
}

void UnitHistoryView::showReprinted(const QString& outcome, bool problem) {
    m_reprinted->setText(outcome);
    ShowAsProblem(*m_reprinted, problem);
    m_reprinted->show();
}

} // namespace station
