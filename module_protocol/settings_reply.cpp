#include "settings_reply.h"

#include "commands.h"

#include "serial_link/data_waits.h"
#include "serial_link/port_session.h"
#include "serial_link/reply_reader.h"

#include <QStringList>

#include <algorithm>

namespace modProg {
namespace {

std::optional<int> IndexIn(const QStringList& values, const QString& value) {
    const qsizetype index = values.indexOf(value);
    if (index < 0)
        return std::nullopt;
    return static_cast<int>(index);
}

} // namespace

SettingsReply ReadSettingsReply(modComm::Link& link) {
    modComm::FlushInput(link);
    modComm::SendCommand(link, ComposeCommand(Command::Query));
    SettingsReply reply;
    if (link.waits == modComm::WaitStyle::OnData) {
        // Ends with the twelfth token; the polled reading would give up by then too.
        const QStringList tokens =
            modComm::AwaitTokens(link, kFieldCount, kQueryPause + kQueryGrace);
        std::copy(tokens.begin(), tokens.end(), reply.fields.begin());
        reply.fieldsReceived = static_cast<int>(tokens.size());
        return reply;
    }
    platform::Pacing& pacing = link.platform.pacing;
    pacing.sleepFor(kQueryPause);

    auto graceLeft = kQueryGrace;
    for (QString& field : reply.fields) {
        std::optional<QString> token = modComm::ReadCompleteToken(link);
        while (!token && graceLeft > std::chrono::milliseconds::zero() &&
               link.platform.port.isOpen()) {
            const auto pause = std::min(kFieldRetryPeriod, graceLeft);
            pacing.sleepFor(pause);
            graceLeft -= pause;
            token = modComm::ReadCompleteToken(link);
        }
        if (token)
            ++reply.fieldsReceived;
        field = token.value_or(QString());
    }
    return reply;
}

std::optional<int> BaudRateIndex(const QString& value) {
    static const QStringList rates = {"1200",  "2400",  "4800",   "9600",  "19200",
                                      "38400", "57600", "115200", "230400"};
    return IndexIn(rates, value);
}

std::optional<int> StopBitsIndex(const QString& value) {
    static const QStringList counts = {"1", "2"};
    return IndexIn(counts, value);
}

std::optional<int> ParityIndex(const QString& value) {
    static const QStringList letters = {"N", "O", "E"};
    return IndexIn(letters, value);
}

} // namespace modProg
