// The state of the stream link, as the Session reports it and the panel shows it.
#pragma once

namespace tov {

enum class LinkState {
    Stopped = 0,        // the Session thread is not running
    NoAdb = 1,          // adb was not found
    NoDevice = 2,       // no phone is chosen
    Unauthorized = 3,   // no phone is chosen; an attached one has not allowed debugging yet
    Ready = 4,          // a phone is chosen; not streaming
    WaitingForApp = 5,  // streaming is wanted but the stream connection is not up
    Live = 6,           // the stream connection is up
};

// "stopped", "no adb", "no device", "unauthorized", "ready", "waiting for app", "live".
inline const char* linkStateText(LinkState state) {
    switch (state) {
        case LinkState::Stopped: return "stopped";
        case LinkState::NoAdb: return "no adb";
        case LinkState::NoDevice: return "no device";
        case LinkState::Unauthorized: return "unauthorized";
        case LinkState::Ready: return "ready";
        case LinkState::WaitingForApp: return "waiting for app";
        case LinkState::Live: return "live";
    }
    return "?";
}

}  // namespace tov
