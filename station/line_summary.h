// The line at a glance: passed, failed, units per hour, first-pass yield and values rows left
// since the station started, and the last units with the failures marked in words.
#pragma once

#include "slot_state.h"

#include <QLabel>
#include <QListWidget>
#include <QWidget>

namespace station {

class LineSummary : public QWidget {
    Q_OBJECT

public:
    explicit LineSummary(QWidget* parent = nullptr);

    void showFigures(const LineFigures& figures);
    // Puts the unit at the top of the list, which keeps the last kShownUnits.
    void addUnit(const FinishedUnit& unit);

    QListWidget* unitList() const { return m_units; }

private:
    QList<QLabel*> m_figures;
    QListWidget* m_units = nullptr;
};

// One line of the list: time, port, unit and name, and "FAILED: reason" for a failure.
QString UnitLine(const FinishedUnit& unit);

} // namespace station
