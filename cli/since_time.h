// The TIME of `cordelo-cli record --since`: a date is that local day from its start, a date
// and time with a zone is that instant, and one without a zone is local time.
#pragma once

#include <QDateTime>
#include <QString>

#include <variant>

namespace cli {

// The instant the text names, or why it names none.
std::variant<QDateTime, QString> ParseSince(const QString& text);

} // namespace cli
