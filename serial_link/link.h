// The one port session of the run: the platform it talks through, the receive state
// that every reader shares, and how its waits wait.
#pragma once

#include "receive_state.h"

#include "platform/platform.h"

#include <atomic>

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
    // Set from outside (Ctrl-C) to end the waits on data early; the window has none.
    const std::atomic<bool>* stop = nullptr;
};

inline bool StopRequested(const Link& link) {
    return link.stop != nullptr && link.stop->load();
}

// While it lives, the link's waits run to their bound whatever `stop` says: a command
// already on the wire is seen through to its answer.
class WaitsToTheirEnd {
public:
    explicit WaitsToTheirEnd(Link& link) : m_link(link), m_stop(link.stop) { link.stop = nullptr; }
    ~WaitsToTheirEnd() { m_link.stop = m_stop; }
    WaitsToTheirEnd(const WaitsToTheirEnd&) = delete;
    WaitsToTheirEnd& operator=(const WaitsToTheirEnd&) = delete;

private:
    Link& m_link;
    const std::atomic<bool>* const m_stop;
};

} // namespace modComm
