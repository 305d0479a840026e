#include "record/recorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <mutex>

#include "platform/files.h"
#include "platform/text.h"
#include "record/tests/recording_check.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

using namespace test;
using namespace std::chrono_literals;

constexpr int64_t kFrameUs = 33333;

struct PhoneClip {
    VideoCodec codec;
    std::string csd;
    std::vector<AccessUnit> units;
};

PhoneClip phoneClip(const char* name) {
    const std::string stream = clip(name);
    return {VideoCodec::H264, parameterSets(VideoCodec::H264, stream),
            accessUnits(VideoCodec::H264, stream)};
}

void sendConfig(Recorder& recorder, const PhoneClip& c, int width, int height) {
    recorder.onVideoConfig(width, height, 0, reinterpret_cast<const uint8_t*>(c.csd.data()),
                           c.csd.size());
    recorder.onAudioConfig(48000, 2);
}

void sendSound(Recorder& recorder, int64_t timeUs, int16_t level = 0x1010) {
    std::string pcm;
    for (int i = 0; i < 1600 * 2; ++i) {
        pcm.push_back(static_cast<char>(level & 0xff));
        pcm.push_back(static_cast<char>((level >> 8) & 0xff));
    }
    recorder.onAudioPacket(reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size(), timeUs);
}

class RecorderTest : public ::testing::Test {
  protected:
    // Pictures [first, end) at 30 fps stamped from `startUs` on, each followed by its 33 ms of
    // sound. The PC's clock moves on a picture's time with each, whatever the stamps say.
    void sendPictures(Recorder& recorder, const PhoneClip& c, size_t first, int64_t startUs,
                      size_t end = SIZE_MAX) {
        for (size_t i = first; i < std::min(end, c.units.size()); ++i) {
            const auto& unit = c.units[i];
            const int64_t t = startUs + static_cast<int64_t>(i) * kFrameUs;
            pcClock += kFrameUs;
            recorder.onVideoPacket(reinterpret_cast<const uint8_t*>(unit.bytes.data()),
                                   unit.bytes.size(), t, unit.key);
            sendSound(recorder, t);
        }
    }
    RecorderOptions options() {
        RecorderOptions o;
        o.clock = [this] { return pcClock.load(); };
        o.newFilePath = [this] {
            std::lock_guard<std::mutex> lock(filesLock);
            files.push_back(dir.file(L"recording" + std::to_wstring(files.size()) + L".mp4"));
            return files.back();
        };
        o.keyframeWanted = [this] { ++keyRequests; };
        return o;
    }
    // The status once no file is being finished any more.
    std::string savedStatus(Recorder& recorder) {
        waitFor([&] { return recorder.statusText().rfind("Saved", 0) == 0; }, 20s);
        return recorder.statusText();
    }

    TempDir dir;
    std::atomic<int64_t> pcClock{1000000};
    std::mutex filesLock;
    std::vector<std::wstring> files;
    std::atomic<int> keyRequests{0};
    const PhoneClip portrait = phoneClip("phone_h264_320x640.h264");
    const PhoneClip landscape = phoneClip("phone_h264_640x360.h264");
};

TEST_F(RecorderTest, StartsAtTheNextKeyFrameAndATurnOfThePhoneEndsTheFileAndStartsANewOne) {
    Recorder recorder(options());
    sendConfig(recorder, portrait, 320, 640);
    recorder.start();
    EXPECT_EQ(keyRequests, 1);  // asked at once, not after a picture group has gone by
    // Joined mid-group: nothing is written before the key frame, the 31st picture.
    sendPictures(recorder, portrait, 5, 1000000);
    EXPECT_EQ(files.size(), 1u);

    // The phone turns: a new configuration ends the file; the next begins with its key frame.
    sendConfig(recorder, landscape, 640, 360);
    sendPictures(recorder, landscape, 0, 5000000);
    recorder.stop();
    EXPECT_FALSE(recorder.wanted());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(savedStatus(recorder).find("Saved recording1.mp4"), std::string::npos);

    Probe first = probe(files[0]);
    EXPECT_EQ(first.video["nb_read_frames"], "60");
    EXPECT_EQ(first.video["width"], "320");
    EXPECT_EQ(first.sound["codec_name"], "pcm_s16le");
    Probe second = probe(files[1]);
    EXPECT_EQ(second.video["nb_read_frames"], "60");
    EXPECT_EQ(second.video["width"], "640");
    EXPECT_EQ(decodeErrors(files[0]) + decodeErrors(files[1]), "");

    // After stop, pictures go nowhere.
    sendPictures(recorder, landscape, 0, 9000000);
    EXPECT_EQ(files.size(), 2u);
}

TEST_F(RecorderTest, PictureStampsThatJumpOrANewSoundFormatEndTheFileAndTheNextStartsAtAKey) {
    Recorder recorder(options());
    sendConfig(recorder, portrait, 320, 640);
    recorder.start();
    sendPictures(recorder, portrait, 0, 50000000, 60);
    // The phone's clock restarts 40 s back in the middle of a picture group: the file ends, and
    // the next one starts at the key picture after.
    sendPictures(recorder, portrait, 45, 10000000);
    // One bogus stamp 100 s ahead, on a key picture: a file of its own begins there, and the
    // stamps that carry on as before start the next at their key picture.
    const int64_t back = 10000000 + 90 * kFrameUs;
    sendPictures(recorder, portrait, 0, back + 100000000, 1);
    sendPictures(recorder, portrait, 1, back);
    // The sound's format changes: the file ends; the next starts at the next key picture.
    recorder.onAudioConfig(44100, 1);
    const int64_t later = back + 90 * kFrameUs;
    sendPictures(recorder, portrait, 15, later);
    recorder.stop();
    savedStatus(recorder);
    ASSERT_EQ(files.size(), 5u);
    const char* expected[] = {"60", "30", "1", "60", "60"};
    for (size_t i = 0; i < files.size(); ++i) {
        Probe p = probe(files[i]);
        EXPECT_EQ(p.video["nb_read_frames"], expected[i]) << i;
        EXPECT_EQ(decodeErrors(files[i]), "") << i;
    }
    EXPECT_EQ(probe(files[4]).sound["sample_rate"], "44100");
}

TEST_F(RecorderTest, WithNothingArrivingTheFileStillGrowsAndSoundThatComesOnLaterIsInIt) {
    Recorder recorder(options());
    // The stream starts with Sound off: no sound format yet.
    recorder.onVideoConfig(320, 640, 0, reinterpret_cast<const uint8_t*>(portrait.csd.data()),
                           portrait.csd.size());
    recorder.start();
    const int64_t phone = 70000000, delay = 20000;  // phone clock at the key; capture to arrival
    for (size_t i = 0; i < 30; ++i) {
        pcClock = static_cast<int64_t>(i) * kFrameUs + delay;
        const auto& unit = portrait.units[i];
        recorder.onVideoPacket(reinterpret_cast<const uint8_t*>(unit.bytes.data()),
                               unit.bytes.size(), phone + static_cast<int64_t>(i) * kFrameUs,
                               unit.key);
    }
    // The screen stands still and no sound comes: only time passes.
    pcClock = 6000000;
    recorder.tick();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(waitFor([&] { return fileSize(files[0]) > 3 * 48000 * 4; }, 10s));
    Probe running = probe(files[0]);
    // The last picture is held back until the next: it lasts until then.
    EXPECT_EQ(running.video["nb_read_frames"], "29");
    EXPECT_GE(std::atof(running.sound["duration"].c_str()), 3.0);

    // Sound comes on at 6.5 s with a click at 7 s; pictures come again at 8 s.
    recorder.onAudioConfig(48000, 2);
    size_t pictures = 30;
    for (int64_t t = 6500000; t < 9000000; t += kFrameUs) {
        pcClock = t + delay;
        sendSound(recorder, phone + t, t == 6500000 + 15 * kFrameUs ? 30000 : 100);
        if (t >= 8000000) {
            ++pictures;
            const auto& unit = portrait.units[30 + (t - 8000000) / kFrameUs];
            recorder.onVideoPacket(reinterpret_cast<const uint8_t*>(unit.bytes.data()),
                                   unit.bytes.size(), phone + t, unit.key);
        }
    }
    recorder.stop();
    savedStatus(recorder);
    ASSERT_EQ(files.size(), 1u);
    const std::vector<int16_t> sound = soundSamples(files[0]);
    size_t loudest = 0;
    for (size_t i = 0; i < sound.size(); ++i) {
        if (sound[i] > sound[loudest]) loudest = i;
    }
    EXPECT_NEAR(static_cast<double>(loudest / 2) / 48000, (6500000 + 15 * kFrameUs) / 1e6,
                1.0 / 30);
    EXPECT_EQ(pictureTimes(files[0]).size(), pictures);
    // The still screen's picture lasts until the next: the pictures fill the file.
    const Reading read = mediaInfo(files[0]);
    EXPECT_NEAR(read.videoSeconds, read.seconds, 1.0 / 30);
}

// The traces below send each picture and sound packet with its own arrival time on the PC.
class RecorderTraceTest : public RecorderTest {
  protected:
    void picture(Recorder& recorder, size_t i, int64_t stampUs, int64_t arrivedUs) {
        pcClock = arrivedUs;
        const auto& unit = portrait.units[i % portrait.units.size()];
        recorder.onVideoPacket(reinterpret_cast<const uint8_t*>(unit.bytes.data()),
                               unit.bytes.size(), stampUs, unit.key);
    }
    void sound(Recorder& recorder, int64_t stampUs, int64_t arrivedUs, int16_t level = 100) {
        pcClock = arrivedUs;
        sendSound(recorder, stampUs, level);
    }
    // The click heard in the file against the picture sent with it.
    void expectClickWithPicture(const std::wstring& path, size_t flash) {
        const std::vector<int16_t> samples = soundSamples(path);
        size_t loudest = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            if (samples[i] > samples[loudest]) loudest = i;
        }
        const std::vector<double> times = pictureTimes(path);
        ASSERT_GT(times.size(), flash);
        EXPECT_NEAR(static_cast<double>(loudest / 2) / 48000, times[flash], 1.0 / 30);
    }
    static constexpr int64_t kPhone = 5000000, kDelay = 30000;
};

// The link stalls for 4 s. The phone's sender is held up meanwhile, so nothing arrives and
// nothing new is captured while the recorder's timer runs; then the three pictures (and their
// sound) waiting in the link arrive late, and the pictures captured after come on time. A slow
// link is no new clock: one file holds every picture, each at its own time.
TEST_F(RecorderTraceTest, AWifiStallKeepsOneFileAndEveryPicture) {
    Recorder recorder(options());
    sendConfig(recorder, portrait, 320, 640);
    recorder.start();
    const int64_t stallEnd = 60 * kFrameUs + kDelay + 4000000;
    std::vector<int64_t> stamps;
    for (size_t i = 0; i < 150; ++i) {
        const int64_t t = static_cast<int64_t>(i < 63 ? i : i + 120) * kFrameUs;
        if (i == 60) {
            for (int64_t at = 60 * kFrameUs + kDelay; at < stallEnd; at += 250000) {
                pcClock = at;
                recorder.tick();
            }
        }
        const int64_t arrived = i >= 60 && i < 63 ? stallEnd : t + kDelay;
        picture(recorder, i, kPhone + t, arrived);
        sound(recorder, kPhone + t, arrived);
        stamps.push_back(t);
    }
    recorder.stop();
    savedStatus(recorder);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(decodeErrors(files[0]), "");
    const std::vector<double> times = pictureTimes(files[0]);
    ASSERT_EQ(times.size(), stamps.size());
    for (size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(times[i], stamps[i] / 1e6, 0.002) << i;
}

// One sound packet arrives 4 s late; later the sound goes off for a second and comes back with a
// click sent beside a picture. The sound stays placed by its stamps: the click is with it.
TEST_F(RecorderTraceTest, OneLateSoundPacketLeavesTheLaterSoundInStep) {
    Recorder recorder(options());
    sendConfig(recorder, portrait, 320, 640);
    recorder.start();
    for (size_t i = 0; i < 180; ++i) {
        const int64_t t = static_cast<int64_t>(i) * kFrameUs;
        picture(recorder, i, kPhone + t, t + kDelay);
        if (i < 100 || i >= 130) sound(recorder, kPhone + t, t + kDelay, i == 150 ? 30000 : 100);
        if (i == 45) sound(recorder, kPhone + t - 4000000, t + kDelay);
    }
    recorder.stop();
    savedStatus(recorder);
    ASSERT_EQ(files.size(), 1u);
    expectClickWithPicture(files[0], 150);
}

// The phone stamps its sound on a clock of its own: 10 minutes ahead of the pictures', or the
// time of day against the pictures' time since start-up. The sound kept from before the file
// began goes through the same check as the rest: no minutes of silence, no overflow, and after a
// second of Sound off a click is still with its picture.
TEST_F(RecorderTraceTest, SoundOnAClockOfItsOwnIsPlacedInStepFromTheKeptSoundOn) {
    for (const int64_t offset : {int64_t{600000000}, int64_t{1760000000000000}}) {
        SCOPED_TRACE(offset);
        files.clear();
        Recorder recorder(options());
        sendConfig(recorder, portrait, 320, 640);
        recorder.start();
        // Joined mid-group: the sound before the key picture (the 31st) is kept for the file.
        for (size_t i = 10; i < 150; ++i) {
            const int64_t t = static_cast<int64_t>(i) * kFrameUs;
            picture(recorder, i, kPhone + t, t + kDelay);
            if (i < 60 || i >= 90) {
                sound(recorder, kPhone + offset + t, t + kDelay, i == 105 ? 30000 : 100);
            }
        }
        recorder.stop();
        savedStatus(recorder);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_LT(fileSize(files[0]), 5 << 20);
        Probe p = probe(files[0]);
        EXPECT_EQ(p.video["nb_read_frames"], "120");
        EXPECT_NEAR(std::atof(p.sound["duration"].c_str()), 4.0, 0.1);
        expectClickWithPicture(files[0], 105 - 30);
    }
}

// A disk that takes every write only when let go, and counts the files flushed to it whole.
class HeldDisk : public RecordingOutput {
  public:
    HeldDisk(std::unique_ptr<RecordingOutput> file, std::mutex& lock, std::condition_variable& wake,
             bool& held, std::atomic<int>& flushedWhole)
        : file_(std::move(file)),
          lock_(lock),
          wake_(wake),
          held_(held),
          flushedWhole_(flushedWhole) {}
    bool append(std::string_view bytes) override {
        flushed_ = false;
        return wait() && file_->append(bytes);
    }
    bool overwrite(uint64_t at, std::string_view bytes) override {
        flushed_ = false;
        return wait() && file_->overwrite(at, bytes);
    }
    bool flushToDisk() override {
        flushed_ = true;
        return wait() && file_->flushToDisk();
    }
    bool close() override {
        if (flushed_) ++flushedWhole_;
        return wait() && file_->close();
    }
    void discard() override { file_->discard(); }

  private:
    bool wait() {
        std::unique_lock<std::mutex> lock(lock_);
        wake_.wait(lock, [this] { return !held_; });
        return true;
    }
    std::unique_ptr<RecordingOutput> file_;
    std::mutex& lock_;
    std::condition_variable& wake_;
    bool& held_;
    std::atomic<int>& flushedWhole_;
    bool flushed_ = false;  // nothing was written since the last flush
};

TEST_F(RecorderTest, StoppingAndANewConfigurationReturnAtOnceWhileTheDiskIsHeldAndFlushLater) {
    std::mutex lock;
    std::condition_variable wake;
    bool held = true;
    std::atomic<int> flushedWhole{0};
    const auto release = [&] {
        {
            std::lock_guard<std::mutex> guard(lock);
            held = false;
        }
        wake.notify_all();
    };
    RecorderOptions o = options();
    o.createFile = [&](const std::wstring& path) -> std::unique_ptr<RecordingOutput> {
        return std::make_unique<HeldDisk>(createRecordingFile(path), lock, wake, held,
                                          flushedWhole);
    };
    Recorder recorder(o);
    // The stream thread and the UI thread, each in a thread of its own so that a call that
    // waits for the disk shows as one that has not returned.
    auto returns = [&](std::function<void()> call) {
        auto done = std::async(std::launch::async, call);
        const bool returned = done.wait_for(20s) == std::future_status::ready;
        if (!returned) release();
        return returned;
    };
    sendConfig(recorder, portrait, 320, 640);
    recorder.start();
    EXPECT_TRUE(returns([&] {
        sendPictures(recorder, portrait, 0, 1000000);
        sendConfig(recorder, landscape, 640, 360);  // ends the first file
        sendPictures(recorder, landscape, 0, 5000000);
    }));
    EXPECT_TRUE(returns([&] {
        recorder.stop();
        recorder.statusText();
        recorder.wanted();
    }));
    EXPECT_EQ(recorder.statusText(), "Saving recording1.mp4\u2026");
    release();
    EXPECT_EQ(savedStatus(recorder), "Saved recording1.mp4 in Videos\\Tovenmar.");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(flushedWhole, 2);  // each file reached the disk whole before it was closed
    EXPECT_EQ(probe(files[0]).video["nb_read_frames"], "90");
    EXPECT_EQ(probe(files[1]).video["nb_read_frames"], "60");
}

TEST_F(RecorderTest, AStartThatFailsLeavesNoFileAndNamesTheCause) {
    {
        // A configuration without its picture parameter set cannot make a file.
        RecorderOptions o = options();
        Recorder recorder(o);
        const std::string spsOnly = portrait.csd.substr(0, portrait.csd.find("\0\0\0\1", 4, 4));
        recorder.onVideoConfig(320, 640, 0, reinterpret_cast<const uint8_t*>(spsOnly.data()),
                               spsOnly.size());
        recorder.start();
        sendPictures(recorder, portrait, 0, 0, 2);
        EXPECT_FALSE(recorder.wanted());
        EXPECT_EQ(recorder.statusText(),
                  "Recording failed: the stream's video configuration is incomplete.");
        EXPECT_TRUE(listFiles(dir.path()).empty());
    }
    {
        // A folder where the file should be: the file cannot be made.
        RecorderOptions o = options();
        o.newFilePath = [&] {
            createDirectory(dir.file(L"taken.mp4"));
            return dir.file(L"taken.mp4");
        };
        Recorder recorder(o);
        sendConfig(recorder, portrait, 320, 640);
        recorder.start();
        sendPictures(recorder, portrait, 0, 0);
        EXPECT_FALSE(recorder.wanted());
        EXPECT_EQ(recorder.statusText(), "Recording failed: couldn't create taken.mp4.");
    }
}

}  // namespace
}  // namespace tov
