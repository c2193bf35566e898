#include "token_scanner.h"

#include <algorithm>

namespace modComm {
namespace {

void CompactIfMostlyConsumed(ReceiveState& state) {
    if (state.RxStart == state.RxBuffer.size()) {
        state.RxBuffer.clear();
        state.RxStart = 0;
    } else if (state.RxStart > state.RxBuffer.size() / 2) {
        state.RxBuffer.remove(0, state.RxStart);
        state.RxStart = 0;
    }
}

void AppendToToken(ReceiveState& state, const char* begin, const char* end) {
    const qsizetype room = kMaxTokenLength - state.TokenText.size();
    if (room > 0)
        state.TokenText.append(begin, std::min<qsizetype>(room, end - begin));
}

} // namespace

void AppendReceived(ReceiveState& state, const QByteArray& received) {
    if (received.isEmpty())
        return;
    CompactIfMostlyConsumed(state);
    const qsizetype excess = state.unscannedSize() + received.size() - kMaxUnscannedBytes;
    if (excess <= 0) {
        state.RxBuffer.append(received);
        return;
    }
    if (excess < state.unscannedSize()) {
        state.RxStart += excess;
        state.RxBuffer.append(received);
        return;
    }
    state.RxBuffer = received.right(kMaxUnscannedBytes);
    state.RxStart = 0;
}

void DiscardUnscanned(ReceiveState& state) {
    state.RxBuffer.clear();
    state.RxStart = 0;
}

std::optional<QByteArray> ScanToken(ReceiveState& state) {
    const char* const data = state.RxBuffer.constData();
    const char* cursor = data + state.RxStart;
    const char* const end = data + state.RxBuffer.size();

    while (cursor != end) {
        const char* bracket = cursor;
        while (bracket != end && *bracket != '[' && *bracket != ']')
            ++bracket;
        // Outside a token the run is noise and dropped; inside it belongs to the token.
        if (state.InToken)
            AppendToToken(state, cursor, bracket);
        if (bracket == end)
            break;
        cursor = bracket + 1;
        if (*bracket == '[') {
            state.TokenText.clear();
            state.InToken = true;
            continue;
        }
        QByteArray token = std::move(state.TokenText);
        state.TokenText = QByteArray();
        state.InToken = false;
        state.RxStart = cursor - data;
        CompactIfMostlyConsumed(state);
        return token;
    }
    state.RxBuffer.clear();
    state.RxStart = 0;
    return std::nullopt;
}

} // namespace modComm
