// Hands one received packet to the callback its type calls for.
#pragma once

#include "session/clock_sync.h"
#include "session/packet.h"
#include "session/session_callbacks.h"

namespace tov {

// Returns false when the packet was dropped: a type the PC does not receive, a type whose
// callback is empty, a configuration shorter than 8 bytes or a pong that is not 8 bytes long.
// Drops never affect the connection. Pongs feed `clock` with `nowPc` as the arrival time.
bool dispatch(const Packet& packet, const SessionCallbacks& callbacks, ClockSync& clock,
              int64_t nowPc);

}  // namespace tov
