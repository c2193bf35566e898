#include "reply_reader.h"

#include "data_waits.h"
#include "token_scanner.h"

#include <functional>

namespace modComm {
namespace {

// Lets window events run, then sleeps to the next poll, measured from the start of
// the wait so that event handling does not stretch the bound.
std::optional<QString> PollUntil(Link& link, const std::function<bool(const QString&)>& accepts) {
    platform::Pacing& pacing = link.platform.pacing;
    const auto start = pacing.now();
    for (int pass = 1;; ++pass) {
        pacing.processEvents();
        const auto due = start + pass * kPollPeriod;
        pacing.sleepFor(std::chrono::ceil<std::chrono::milliseconds>(
            std::max(due - pacing.now(), platform::Pacing::Clock::duration::zero())));
        if (pass == kWaitPasses)
            return std::nullopt;
        const QString token = ReadToken(link);
        if (accepts(token))
            return token;
    }
}

std::optional<QString> WaitFor(Link& link, const std::function<bool(const QString&)>& accepts) {
    if (link.waits == WaitStyle::OnData)
        return AwaitToken(link, accepts, kReplyBound);
    return PollUntil(link, accepts);
}

} // namespace

std::optional<QString> ReadCompleteToken(Link& link) {
    platform::SerialPort& port = link.platform.port;
    if (!port.isOpen())
        return std::nullopt;
    AppendReceived(link.rx, port.readAll());
    if (const auto token = ScanToken(link.rx))
        return QString::fromLatin1(*token);
    return std::nullopt;
}

QString ReadToken(Link& link) {
    return ReadCompleteToken(link).value_or(QString());
}

bool WaitForReply(Link& link, const QString& expected) {
    return WaitFor(link, [&expected](const QString& token) { return token == expected; })
        .has_value();
}

QString WaitForVersion(Link& link) {
    return WaitFor(link, [](const QString& token) { return token.size() == 4; })
        .value_or(QString());
}

} // namespace modComm
