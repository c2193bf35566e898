// An axis people read at a glance: its ends and ticks on steps of 1, 2 or 5 times a power of
// ten.
#pragma once

#include <QList>

namespace production_record {

struct NiceScale {
    double low = 0;
    double high = 1;
    double step = 1;

    QList<double> ticks() const;
};

// The least such axis holding `low` to `high` with at most `ticks` steps; `whole` keeps the
// step at 1 or more (a count of units).
NiceScale NiceScaleOf(double low, double high, int ticks, bool whole);

} // namespace production_record
