// The engine words a refusal for the command line, by its options; the window names its fields.
#pragma once

#include <QString>

namespace station {

QString InTheWindowsWords(const QString& refusal);

} // namespace station
