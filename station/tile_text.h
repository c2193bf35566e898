// What a slot's tile says and how it is coloured, for each state: the words carry the state,
// the colour only repeats it.
#pragma once

#include "slot_state.h"

#include <QColor>
#include <QString>

namespace station {

struct TileLook {
    // The state in one or two words, in the tile's largest type.
    QString headline;
    // The step, the unit and name, the reason or the advice.
    QString detail;
    QColor background;
    QColor text;
    // What a screen reader says for the tile: its slot and state ("Slot COM2: Passed"), then
    // the state with its detail in words.
    QString accessibleName;
    QString accessibleDescription;
};

TileLook LookOf(const SlotState& state);

// "Unit 17 · Station-17", "Station-17" without a record, "Unit 17" without a name.
QString UnitText(const std::optional<int>& unit, const QString& name);

} // namespace station
