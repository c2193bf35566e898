#include "data_waits.h"

#include <algorithm>

namespace modComm {
namespace {

// How long one block on the port lasts at most, so that a stop request is seen soon.
constexpr std::chrono::milliseconds kStopCheckPeriod = kPollPeriod;

// Blocks until input arrives or the deadline passes; false when there is no time left,
// the port has gone or a stop was requested.
bool WaitForInputUntil(Link& link, platform::Pacing::Clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - link.platform.pacing.now());
    if (left <= std::chrono::milliseconds::zero() || !link.platform.port.isOpen() ||
        StopRequested(link))
        return false;
    link.platform.port.waitForInput(link.stop ? std::min(left, kStopCheckPeriod) : left);
    return true;
}

} // namespace

std::optional<QString> AwaitToken(Link& link, const std::function<bool(const QString&)>& accepts,
                                  std::chrono::milliseconds bound) {
    const auto deadline = link.platform.pacing.now() + bound;
    do {
        while (std::optional<QString> token = ReadCompleteToken(link)) {
            if (accepts(*token))
                return token;
        }
    } while (WaitForInputUntil(link, deadline));
    return std::nullopt;
}

QStringList AwaitTokens(Link& link, int count, std::chrono::milliseconds bound) {
    const auto deadline = link.platform.pacing.now() + bound;
    QStringList tokens;
    do {
        while (tokens.size() < count) {
            std::optional<QString> token = ReadCompleteToken(link);
            if (!token)
                break;
            tokens << *token;
        }
    } while (tokens.size() < count && WaitForInputUntil(link, deadline));
    return tokens;
}

} // namespace modComm
