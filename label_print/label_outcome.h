// Where a unit's label went, or why it did not: what a front end tells of it.
#pragma once

#include <QString>

namespace label_print {

struct LabelPrint {
    bool printed = false;
    // The file (or, later, the printer) that took the label, once printed.
    QString where;
    QString reason;
};

} // namespace label_print
