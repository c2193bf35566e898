// The TIME of `cordelo-cli record --since` and `--until`: a date (or today, or yesterday) is
// that local day (from its start, or to its end), a date and time with a zone is that instant,
// and one without a zone is local time.
#pragma once

#include <QDateTime>
#include <QString>

#include <variant>

namespace cli {

// The instant the text names, or why it names none; a date is the start of that day.
std::variant<QDateTime, QString> ParseSince(const QString& text);

// The same for the last instant of a span; a date is the end of that day.
std::variant<QDateTime, QString> ParseUntil(const QString& text);

} // namespace cli
