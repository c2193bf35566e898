#include "line_summary.h"

#include "tile_text.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include <cmath>

namespace station {
namespace {

constexpr int kShownUnits = 50;
constexpr int kFigurePoints = 20;

const QStringList kFigureNames = {
    QStringLiteral("Passed"),           QStringLiteral("Failed"),
    QStringLiteral("Units per hour"),   QStringLiteral("First-pass yield"),
    QStringLiteral("Values rows left"), QStringLiteral("Rows waiting for the record")};

} // namespace

QString UnitLine(const FinishedUnit& unit) {
    QString who = UnitText(unit.unit, unit.name);
    if (who.isEmpty())
        who = unit.deviceAddress;
    const QString line = unit.at.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") +
                         unit.port + QStringLiteral("  ") + who;
    const QString told =
        unit.passed ? line + QStringLiteral("  passed")
                    : QStringLiteral("FAILED  ") + line + QStringLiteral(": ") + unit.reason;
    return unit.spooled ? told + QStringLiteral(" (its row waits in the spool)") : told;
}

LineSummary::LineSummary(QWidget* parent) : QWidget(parent), m_units(new QListWidget) {
    auto* figures = new QFormLayout;
    QFont large = font();
    large.setPointSize(kFigurePoints);
    large.setBold(true);
    for (const QString& name : kFigureNames) {
        auto* value = new QLabel;
        value->setFont(large);
        value->setTextFormat(Qt::PlainText);
        value->setAccessibleName(name);
        auto* label = new QLabel(name);
        label->setBuddy(value);
        figures->addRow(label, value);
        m_figures << value;
    }
    auto* recent = new QLabel(tr("&Last units"));
    recent->setBuddy(m_units);
    m_units->setAccessibleName(tr("Last units"));
    m_units->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(figures);
    layout->addSpacing(8);
    layout->addWidget(recent);
    layout->addWidget(m_units, 1);
    showFigures({});
}

void LineSummary::showFigures(const LineFigures& figures) {
    const QString none = QStringLiteral("–");
    const QStringList texts = {QString::number(figures.passed),
                               QString::number(figures.failed),
                               QString::number(std::lround(figures.unitsPerHour)),
                               figures.firstPassYield ? QStringLiteral("%1 %").arg(std::lround(
                                                            *figures.firstPassYield * 100))
                                                      : none,
                               figures.valuesLeft ? QString::number(*figures.valuesLeft) : none,
                               figures.rowsWaiting ? QString::number(*figures.rowsWaiting) : none};
    for (qsizetype i = 0; i < m_figures.size(); ++i) {
        m_figures[i]->setText(texts[i]);
        m_figures[i]->setAccessibleDescription(texts[i] == none ? tr("none yet") : texts[i]);
    }
}

void LineSummary::addUnit(const FinishedUnit& unit) {
    // A list item's text is never read as rich text.
    auto* item = new QListWidgetItem(UnitLine(unit));
    if (!unit.passed) {
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
        item->setForeground(QColor(0xb7, 0x1c, 0x1c));
    }
    m_units->insertItem(0, item);
    while (m_units->count() > kShownUnits)
        delete m_units->takeItem(m_units->count() - 1);
}

} // namespace station
