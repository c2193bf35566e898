// A unit found by a scan, as the record knows it: its number, name and address, every row of
// it with bench, time, result and message, its labels, and a key that prints its label again.
// A page of the window rather than a dialog, so that the next scan goes to the find field.
#pragma once

#include "production_record/unit_history.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace station {

class UnitHistoryView : public QWidget {
    Q_OBJECT

public:
    explicit UnitHistoryView(QWidget* parent = nullptr);

    void showHistory(const production_record::UnitHistory& history);
    // Why its label cannot be printed again here (the job prints no labels, the unit never
    // passed), or nothing.
    void setReprintRefusal(const QString& refusal);
    // How the label printed again went, in words.
    void showReprinted(const QString& outcome, bool problem);

    const production_record::UnitHistory& history() const { return m_history; }
    QTableWidget* rowTable() const { return m_rows; }
    QPushButton* reprintButton() const { return m_reprint; }

signals:
    void reprintRequested(const production_record::UnitHistory& history);
    // The operator is done with it: the window shows what it showed before.
    void closed();

private:
    production_record::UnitHistory m_history;
    QLabel* m_heading = nullptr;
    QLabel* m_address = nullptr;
    QTableWidget* m_rows = nullptr;
    QLabel* m_labels = nullptr;
    QLabel* m_reprinted = nullptr;
    QPushButton* m_reprint = nullptr;
};

} // namespace station
