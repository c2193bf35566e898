// Scan to find: the code the window's find field was given is looked up in the record, off the
// window's thread, and the unit's history shown, or in words why there is none; its label is
// printed again from the record, to where the job's labels go.
#pragma once

#include "production_line.h"
#include "record_reads.h"
#include "station_window.h"

#include <QObject>

namespace station {

class UnitSearch : public QObject {
    Q_OBJECT

public:
    // `line` and `window` must outlive the search.
    UnitSearch(ProductionLine& line, StationWindow& window);

    void find(const QString& code);
    void printLabelAgain(const production_record::UnitHistory& history);

private:
    // The record the form names, or why there is none to look in.
    std::variant<production_record::RecordTarget, QString> target() const;
    // Reads the shown unit's history again, then tells how its label printed again went.
    void showAgain(const production_record::RecordTarget& record, const QString& told,
                   bool problem);
    // Why the unit's label cannot be printed again here, or nothing.
    std::optional<QString> reprintRefusal(const production_record::UnitHistory& history) const;

    StationWindow& m_window;
    RecordReads m_reads;
};

} // namespace station
