// Cuts received text into bracketed tokens, one token per scan.
#pragma once

#include "receive_state.h"

#include <optional>

namespace modComm {

// Adds freshly read text behind the unscanned text. When the unscanned text would
// pass its cap, the oldest of it is dropped: a reply in flight is at the end.
void AppendReceived(ReceiveState& state, const QByteArray& received);

// Empties the unscanned text; the token being gathered stays open.
void DiscardUnscanned(ReceiveState& state);

// Scans up to and including the first "]": its token, or nothing when the text ran
// out first. An empty token "[]" is an empty value, not nothing.
std::optional<QByteArray> ScanToken(ReceiveState& state);

} // namespace modComm
