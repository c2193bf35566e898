// Scan to find: the code the window's find field was given is looked up in the record, off the
// window's thread, and the unit's history shown, or in words why there is none.
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

private:
    StationWindow& m_window;
    RecordReads m_reads;
};

} // namespace station
