// A run's message as a reason for a failure: what differs between two units that failed the
// same way (a value, how far a write got) left out.
#pragma once

#include <QString>

namespace production_record {

// `name: wanted "Tür, \"2\"", found "A"` gives `name: wanted "…", found "…"`, and
// "interrupted after 4 of 8 settings" gives "interrupted after … of 8 settings".
QString ReasonOf(const QString& message);

} // namespace production_record
