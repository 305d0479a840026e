// How a copy to the phone is going, judged from the size of its file on the phone, looked at now
// and then: the share done (shown once the copy has run a while) and whether it has stalled. A
// copy is stopped only when it stops growing, never for taking long. Pure; the times are
// whatever millisecond clock the caller reads.
#pragma once

#include <cstdint>
#include <string_view>

namespace tov {

struct CopyRules {
    uint64_t lookEveryMs = 1000;  // how often the phone is asked for the size
    uint64_t stallMs = 30000;     // no growth for this long stops the copy
    uint64_t showAfterMs = 2000;  // quick copies show no share
};

// What the phone said when asked for the size of the file under way ("stat -c %s PATH").
struct PhoneFileSize {
    enum class Kind {
        Bytes,      // `bytes` is the size
        NotThere,   // no such file yet: nothing has arrived
        NoAnswer,   // adb or the phone did not answer (a link that hangs)
        PhoneGone,  // adb no longer reaches the phone
        CannotTell  // the phone's shell has no such command
    };
    Kind kind = Kind::NoAnswer;
    int64_t bytes = 0;
};
PhoneFileSize readPhoneFileSize(std::string_view output);

class CopyProgress {
  public:
    CopyProgress(int64_t totalBytes, uint64_t startMs, CopyRules rules = {});

    // One look at the phone.
    void observe(uint64_t nowMs, const PhoneFileSize& size);
    // No growth for the stall time; on a phone that cannot tell the size, longer than even a
    // slow link takes.
    bool stalled(uint64_t nowMs) const;
    // The whole percent arrived, 0 to 99, once the copy has run `showAfterMs`; -1 before that or
    // while the size is unknown.
    int percent(uint64_t nowMs) const;

  private:
    int64_t total_;
    uint64_t start_;
    CopyRules rules_;
    int64_t arrived_ = -1;  // -1: not known yet
    uint64_t lastGrowth_;
    bool blind_ = false;  // the phone cannot tell the size
};

}  // namespace tov
