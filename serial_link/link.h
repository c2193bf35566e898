// The one port session of the run: the platform it talks through, the receive state
// that every reader shares, and how its waits wait.
#pragma once

#include "receive_state.h"

#include "platform/platform.h"

namespace modComm {

enum class WaitStyle {
    // The window's waits: let events run, sleep to the next poll, read.
    Polled,
    // Block on the port and end as soon as the reply is complete, within the same bounds.
    OnData,
};

struct Link {
    platform::Platform& platform;
    ReceiveState rx;
    WaitStyle waits = WaitStyle::Polled;
};

} // namespace modComm
