#include "settings_reply.h"

#include "commands.h"

#include "serial_link/data_waits.h"
#include "serial_link/port_session.h"
#include "serial_link/reply_reader.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <functional>

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

std::optional<QString> ReplyDamage(const SettingsReply& reply) {
    static const QRegularExpression number(QStringLiteral("\\A[1-9][0-9]*\\z"));
    static const QRegularExpression letter(QStringLiteral("\\A[A-Z]\\z"));
    const struct {
        Field field;
        const char* what;
        std::function<bool(const QString&)> reads;
    } checks[] = {
        {Field::BaudRate, "baud rate", [](const QString& v) { return number.match(v).hasMatch(); }},
        {Field::StopBits, "stop bits",
         [](const QString& v) { return StopBitsIndex(v).has_value(); }},
        {Field::Parity, "parity", [](const QString& v) { return letter.match(v).hasMatch(); }},
        {Field::Role, "role", [](const QString& v) { return v == kMasterRole || v == kSlaveRole; }},
        {Field::Visibility, "visibility",
         [](const QString& v) { return v == kDiscoverable || v == kInvisible; }},
        {Field::PinRequest, "PIN request",
         [](const QString& v) { return v == kPinOn || v == kPinOff; }},
    };
    for (const auto& check : checks) {
        if (!check.reads(reply[check.field]))
            return QStringLiteral("the settings reply is damaged: its %1 reads \"%2\"")
                .arg(QLatin1String(check.what), reply[check.field]);
    }
    return std::nullopt;
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
