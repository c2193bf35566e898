// What a unit's label says, taken from its passing write row: on the day it passes and on a
// reprint years later, so that both give the same label.
#pragma once

#include "label_print/label_values.h"
#include "production_record/record_row.h"

namespace production_run {

// The unit number, the device address as the module reported it, the bench, the firmware, the
// local date of the row's time, and the settings the write left the module holding (those it
// held before, overlaid with those it acknowledged).
label_print::LabelValues LabelValuesFromRow(const production_record::RecordRow& passingWrite);

} // namespace production_run
