// How a recording's time line is made from the phone's time stamps, for the pictures and the
// sound alike: where each packet goes in the file, what counts as a jump, and how far the file
// can be closed while packets may still be on their way.
//
// The phone's clock is learnt from the pictures as they arrive: the smallest delay from stamp
// to arrival seen lately says which phone time a packet arriving now can carry at most. A picture
// stamped before the one before it went back: the phone's clock restarted. One stamped far beyond
// what the clock allows jumped ahead: a new clock. One stamped far behind it, in order, is merely
// late: a link that stalled, not a new clock, and it keeps its own time.
//
// The sound may be stamped on a clock of its own (another offset, or the time of day against
// the pictures' time since start-up): its own smallest delay says how its stamps stand to the
// pictures'. Within a jump of each other the two share one clock and the stamps are used as they
// are; further apart, the sound's stamps are moved by the difference. A late sound packet changes
// neither: the smallest delay does not grow with it. A sound stamp more than a jump before the
// one before starts the sound's clock afresh.
//
// File times are microseconds from the file's first picture.
#pragma once

#include <cstdint>

namespace tov {

class RecordingClock {
  public:
    // Further than this from what the clock expects, a stamp has jumped.
    static constexpr int64_t kJumpUs = 3000000;

    enum class Stamp { Fits, Late, Ahead, Back };
    // A picture's stamp arrived at `arrivedUs` (PC clock). Ahead and Back start the clock
    // afresh from it.
    Stamp seePicture(int64_t phoneUs, int64_t arrivedUs);
    // A sound packet's stamp (its first frame) arrived at `arrivedUs`.
    void hearSound(int64_t phoneUs, int64_t arrivedUs);
    // Whether a picture has been seen since the clock was last started afresh.
    bool known() const { return pictures_.known; }

    // The file starts at the picture stamped `phoneUs`.
    void startFile(int64_t phoneUs);
    int64_t pictureUs(int64_t phoneUs) const { return phoneUs - originUs_; }
    int64_t soundUs(int64_t phoneUs) const { return phoneUs + soundShift() - originUs_; }
    // The file time before which nothing more is expected at `arrivedUs`: the file can be
    // closed up to there.
    int64_t settledUs(int64_t arrivedUs) const;

    // A new video configuration: the pictures' clock is learnt afresh.
    void resetPictures();
    // A new sound format or the stream's end.
    void resetSound() { sound_ = {}; }

  private:
    // The smallest delay over two windows of this length, so that a clock that drifts or a
    // link that got slower for good is followed.
    static constexpr int64_t kWindowUs = 5000000;
    // Sound reaches the PC before the pictures of its time: the file is closed this far behind
    // the newest time a packet brought.
    static constexpr int64_t kBehindNewestUs = 500000;
    // While nothing arrives, time goes on this far behind what the clock allows, so that a link
    // that stalls for a moment loses nothing.
    static constexpr int64_t kQuietUs = 1500000;

    struct SmallestDelay {
        bool known = false;
        int64_t windowStart = 0;
        int64_t now = 0;
        int64_t before = 0;
        void restart(int64_t delay, int64_t arrivedUs);
        void see(int64_t delay, int64_t arrivedUs);
        int64_t value() const { return now < before ? now : before; }
    };

    // The phone time a packet arriving at `arrivedUs` can carry at most (pictures' clock).
    int64_t phoneNow(int64_t arrivedUs) const { return arrivedUs - pictures_.value(); }
    // What moves a sound stamp onto the pictures' clock.
    int64_t soundShift() const;
    void reached(int64_t phoneUs, int64_t arrivedUs);

    SmallestDelay pictures_;
    SmallestDelay sound_;
    int64_t lastPictureUs_ = 0;  // phone time
    int64_t lastSoundUs_ = 0;    // the sound's own clock
    int64_t newestUs_ = 0;       // the newest phone time a packet brought
    int64_t originUs_ = 0;
};

// value * num / den rounded down, also below zero, without overflowing for any stamp.
int64_t scaledDown(int64_t value, int64_t num, int64_t den);

}  // namespace tov
