// The recording's clock over traces of what a phone and its link do: stalls, late sound, clock
// restarts and sound on a clock of its own.
#include "record/recording_clock.h"

#include <gtest/gtest.h>

namespace tov {
namespace {

using Stamp = RecordingClock::Stamp;

constexpr int64_t kFrameUs = 33333;
constexpr int64_t kPhone = 80000000000;  // the phone's time since start-up at the first picture
constexpr int64_t kDelay = 30000;

TEST(RecordingClock, AStallIsLateNotANewClockWhileJumpsAheadAndBackAre) {
    RecordingClock clock;
    int64_t t = 0;
    for (; t < 2000000; t += kFrameUs)
        EXPECT_EQ(clock.seePicture(kPhone + t, t + kDelay), Stamp::Fits);
    clock.startFile(kPhone);
    // 4 s of nothing, then what the link held arrives at once, then on time again.
    const int64_t stallEnd = t + kDelay + 4000000;
    EXPECT_EQ(clock.seePicture(kPhone + t, stallEnd), Stamp::Late);
    EXPECT_GE(clock.settledUs(stallEnd), t);  // the file can go on past the held pictures
    for (t += kFrameUs; t < 7000000; t += kFrameUs) {
        const Stamp s = clock.seePicture(kPhone + t, std::max(stallEnd, t + kDelay));
        EXPECT_TRUE(s == Stamp::Late || s == Stamp::Fits) << t;
        EXPECT_EQ(clock.pictureUs(kPhone + t), t);
    }
    // A stamp 100 s ahead is a new clock; the old one going on from it has gone back.
    EXPECT_EQ(clock.seePicture(kPhone + t + 100000000, t + kDelay), Stamp::Ahead);
    EXPECT_EQ(clock.seePicture(kPhone + t + kFrameUs, t + kFrameUs + kDelay), Stamp::Back);
    EXPECT_EQ(clock.seePicture(kPhone + t + 2 * kFrameUs, t + 2 * kFrameUs + kDelay), Stamp::Fits);
    // The phone's clock restarts 40 s back.
    EXPECT_EQ(clock.seePicture(kPhone + t - 40000000, t + 3 * kFrameUs + kDelay), Stamp::Back);
}

TEST(RecordingClock, SoundLateOrOnAClockOfItsOwnLandsWithItsPictures) {
    // One late packet among sound on the pictures' clock; sound 10 minutes ahead; the time of day.
    for (const int64_t offset : {int64_t{0}, int64_t{600000000}, int64_t{1760000000000000}}) {
        SCOPED_TRACE(offset);
        RecordingClock clock;
        clock.startFile(kPhone);
        for (int64_t i = 0; i < 90; ++i) {
            const int64_t t = i * kFrameUs;
            clock.seePicture(kPhone + t, t + kDelay);
            clock.hearSound(kPhone + offset + t, t + kDelay);
            EXPECT_EQ(clock.soundUs(kPhone + offset + t), t) << i;
            if (i == 45) clock.hearSound(kPhone + offset + t - 4000000, t + kDelay);
        }
    }
    // Stamps that far from zero scale to frames without overflowing.
    EXPECT_EQ(scaledDown(1760000000000000, 48000, 1000000), 84480000000000);
    EXPECT_EQ(scaledDown(-1, 48000, 1000000), -1);
}

}  // namespace
}  // namespace tov
