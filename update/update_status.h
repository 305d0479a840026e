// What the updater is doing, as the panel shows it.
#pragma once

#include <cstdint>
#include <string>

namespace tov {

enum UpdateState : int {
    kUpdateNotChecked = 0,
    kUpdateChecking = 1,
    kUpdateDownloading = 2,
    kUpdateReady = 3,
    kUpdateUpToDate = 4,
    kUpdateFailed = 5,
    // The build has no feed address and none is set for testing: it checks for nothing.
    kUpdateOff = 6,
};

struct UpdateStatus {
    int state = kUpdateNotChecked;
    std::string version;  // being downloaded or ready (states 2 and 3)
    std::string message;  // the user message of state 5
    int percent = 0;      // download progress (state 2)
    int64_t time = 0;     // wall-clock seconds of entering state 3, 4 or 5
};

}  // namespace tov
