// What a label says of one unit: its placeholders filled from the unit's values as the record
// and the module give them.
#pragma once

#include "module_profile/label_template.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace label_print {

struct LabelValues {
    std::optional<int> unit;
    // The module's own device address, as it reported it.
    QString address;
    QString bench;
    QString firmware;
    QDate date;
    // What the module holds once written.
    profile::ModuleSettings settings;

    bool operator==(const LabelValues&) const = default;
};

// A template's texts filled for one unit.
struct FilledLabel {
    QString code;
    // One per line of the template; a line whose placeholders all have no value is empty,
    // and left out.
    QStringList lines;
};

QString FillLabelText(const QString& text, const LabelValues& values);
FilledLabel FillLabel(const profile::LabelTemplate& label, const LabelValues& values);

// The longest values a unit of this bench can have, in the characters that take the most
// room in a code: what holds these holds every unit's.
LabelValues LongestValues(const QString& bench);

} // namespace label_print
