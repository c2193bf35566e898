// Qt's SQL drivers warn on stderr about what the record already reports in its own words
// ("Unable to free statement" after a failed transaction, "Database not open" after a lost
// connection): a program that keeps a record keeps that noise off its users' terminals.
#pragma once

namespace production_record {

// Installs a message handler that drops the drivers' warnings and hands every other message
// to the handler that was there before.
void QuietDriverWarnings();

} // namespace production_record
