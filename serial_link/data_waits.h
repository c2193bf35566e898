// Waits that block on the port until data arrives instead of polling, so that each
// exchange ends as soon as its reply is complete; a missing reply fails after the same
// time as the polled waits.
#pragma once

#include "link.h"
#include "reply_reader.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace modComm {

// The polled waits give up at their fifth pause.
inline constexpr std::chrono::milliseconds kReplyBound = kWaitPasses * kPollPeriod;

// The first complete token that `accepts` takes within `bound`; every token read before
// it is dropped, and whatever follows it stays for later reads.
std::optional<QString> AwaitToken(Link& link, const std::function<bool(const QString&)>& accepts,
                                  std::chrono::milliseconds bound);

// The next `count` tokens in order, or fewer when `bound` passed before the last came.
QStringList AwaitTokens(Link& link, int count, std::chrono::milliseconds bound);

} // namespace modComm
