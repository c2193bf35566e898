// Reading reply tokens from the port, and the two bounded waits for a reply.
#pragma once

#include "link.h"

#include <QString>

#include <chrono>
#include <optional>

namespace modComm {

inline constexpr std::chrono::milliseconds kPollPeriod{100};
// Five pauses, four reads: a wait gives up about half a second after it began.
inline constexpr int kWaitPasses = 5;

// The next complete token, or nothing when none has arrived whole yet.
std::optional<QString> ReadCompleteToken(Link& link);
// The next complete token, or the empty string when there is none.
QString ReadToken(Link& link);

// True when a token equal to the expected one is read within the bound.
bool WaitForReply(Link& link, const QString& expected);
// The first token of exactly four characters within the bound, or the empty string.
QString WaitForVersion(Link& link);

} // namespace modComm
