#include "token_reader_harness.h"

#include "token_reader_model.h"

#include "serial_link/token_scanner.h"

namespace fuzz {
namespace {

QString Printable(const std::string& text) {
    return QString::fromLatin1(QByteArray::fromStdString(text).toPercentEncoding());
}

QString CompareState(int call, const std::optional<QByteArray>& token,
                     const std::optional<std::string>& expected, const modComm::ReceiveState& state,
                     const TokenReaderModel& model) {
    const std::optional<std::string> got =
        token ? std::optional<std::string>(token->toStdString()) : std::nullopt;
    if (got != expected)
        return QStringLiteral("call %1: token %2, model %3")
            .arg(call)
            .arg(got ? Printable(*got) : QStringLiteral("(none)"),
                 expected ? Printable(*expected) : QStringLiteral("(none)"));
    const std::string unscanned = state.RxBuffer.mid(state.RxStart).toStdString();
    if (unscanned != model.rxBuffer)
        return QStringLiteral("call %1: unscanned %2, model %3")
            .arg(call)
            .arg(Printable(unscanned), Printable(model.rxBuffer));
    if (state.TokenText.toStdString() != model.tokenText || state.InToken != model.inToken)
        return QStringLiteral("call %1: token state %2/%3, model %4/%5")
            .arg(call)
            .arg(Printable(state.TokenText.toStdString()))
            .arg(state.InToken)
            .arg(Printable(model.tokenText))
            .arg(model.inToken);
    return {};
}

} // namespace

QString CompareWithModel(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxInputBytes)
        return {};
    modComm::ReceiveState state;
    TokenReaderModel model;
    std::string arrived;
    int call = 0;

    const auto readNow = [&]() -> QString {
        ++call;
        modComm::AppendReceived(state, QByteArray::fromStdString(arrived));
        const auto token = modComm::ScanToken(state);
        const auto expected = model.read(arrived);
        arrived.clear();
        return CompareState(call, token, expected, state, model);
    };

    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != 0 || i + 1 == size) {
            arrived += static_cast<char>(data[i]);
            continue;
        }
        const std::uint8_t escape = data[++i];
        if (escape == 0) {
            arrived += '\0';
        } else if (escape == 1) {
            modComm::DiscardUnscanned(state);
            model.flush();
            arrived.clear();
        } else if (QString failure = readNow(); !failure.isEmpty()) {
            return failure;
        }
    }
    // Drain what is left, as later polls would.
    for (std::size_t i = 0; i <= size; ++i) {
        if (QString failure = readNow(); !failure.isEmpty())
            return failure;
    }
    return {};
}

} // namespace fuzz
