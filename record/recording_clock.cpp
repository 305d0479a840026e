#include "record/recording_clock.h"

#include <algorithm>

namespace tov {

void RecordingClock::SmallestDelay::restart(int64_t delay, int64_t arrivedUs) {
    known = true;
    windowStart = arrivedUs;
    now = before = delay;
}

void RecordingClock::SmallestDelay::see(int64_t delay, int64_t arrivedUs) {
    if (!known) {
        restart(delay, arrivedUs);
    } else if (arrivedUs - windowStart >= kWindowUs) {
        before = now;
        now = delay;
        windowStart = arrivedUs;
    } else if (delay < now) {
        now = delay;
    }
}

RecordingClock::Stamp RecordingClock::seePicture(int64_t phoneUs, int64_t arrivedUs) {
    const int64_t delay = arrivedUs - phoneUs;
    Stamp stamp = Stamp::Fits;
    if (pictures_.known) {
        if (phoneUs < lastPictureUs_) {
            stamp = Stamp::Back;
        } else if (delay < pictures_.value() - kJumpUs) {
            stamp = Stamp::Ahead;
        } else if (delay > pictures_.value() + kJumpUs) {
            stamp = Stamp::Late;
        }
    }
    lastPictureUs_ = phoneUs;
    if (!pictures_.known || stamp == Stamp::Ahead || stamp == Stamp::Back) {
        pictures_.restart(delay, arrivedUs);
        newestUs_ = phoneUs;
        return stamp;
    }
    pictures_.see(delay, arrivedUs);
    reached(phoneUs, arrivedUs);
    return stamp;
}

void RecordingClock::hearSound(int64_t phoneUs, int64_t arrivedUs) {
    const int64_t delay = arrivedUs - phoneUs;
    // Sound stamps go back only when the sound's clock restarted.
    if (phoneUs < lastSoundUs_ - kJumpUs) {
        sound_.restart(delay, arrivedUs);
    } else {
        sound_.see(delay, arrivedUs);
    }
    lastSoundUs_ = phoneUs;
    if (pictures_.known) reached(phoneUs + soundShift(), arrivedUs);
}

int64_t RecordingClock::soundShift() const {
    if (!sound_.known || !pictures_.known) return 0;
    const int64_t apart = sound_.value() - pictures_.value();
    return apart > kJumpUs || apart < -kJumpUs ? apart : 0;
}

void RecordingClock::reached(int64_t phoneUs, int64_t arrivedUs) {
    // No packet arriving now can be from later than the clock allows, whatever its stamp says.
    newestUs_ = std::max(newestUs_, std::min(phoneUs, phoneNow(arrivedUs)));
}

void RecordingClock::startFile(int64_t phoneUs) {
    originUs_ = phoneUs;
}

int64_t RecordingClock::settledUs(int64_t arrivedUs) const {
    return std::max(newestUs_ - kBehindNewestUs, phoneNow(arrivedUs) - kQuietUs) - originUs_;
}

void RecordingClock::resetPictures() {
    pictures_ = {};
    lastPictureUs_ = 0;
    newestUs_ = 0;
}

int64_t scaledDown(int64_t value, int64_t num, int64_t den) {
    // Whole multiples of den apart from the rest, so that no product grows past the stamp.
    int64_t whole = value / den;
    int64_t rest = value % den;
    if (rest < 0) {
        --whole;
        rest += den;
    }
    return whole * num + rest * num / den;
}

}  // namespace tov
