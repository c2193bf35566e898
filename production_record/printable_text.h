// Text from a module or the record as it may reach a terminal or a page.
#pragma once

#include <QString>

namespace production_record {

// Control characters become \xHH, so that nothing a module sends can drive the terminal.
QString PrintableText(const QString& text);

} // namespace production_record
