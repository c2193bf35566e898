// The one port session of the run: the platform it talks through and the receive
// state that every reader shares.
#pragma once

#include "receive_state.h"

#include "platform/platform.h"

namespace modComm {

struct Link {
    platform::Platform& platform;
    ReceiveState rx;
};

} // namespace modComm
