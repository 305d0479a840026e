#include "record/recorder.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/files.h"
#include "record/tests/recording_check.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

using namespace test;

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

// Pictures [first, end) at 30 fps, each followed by its 33 ms of sound.
void sendPictures(Recorder& recorder, const PhoneClip& c, size_t first, int64_t startUs) {
    const std::string pcm(1600 * 4, '\x10');
    for (size_t i = first; i < c.units.size(); ++i) {
        const auto& unit = c.units[i];
        recorder.onVideoPacket(reinterpret_cast<const uint8_t*>(unit.bytes.data()),
                               unit.bytes.size(), startUs + static_cast<int64_t>(i) * 33333,
                               unit.key);
        recorder.onAudioPacket(reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size());
    }
}

TEST(Recorder, StartsAtTheNextKeyFrameAndATurnOfThePhoneEndsTheFileAndStartsANewOne) {
    TempDir dir;
    std::vector<std::wstring> files;
    std::atomic<int> keyRequests{0};
    RecorderOptions options;
    options.newFilePath = [&] {
        files.push_back(dir.file(L"recording" + std::to_wstring(files.size()) + L".mp4"));
        return files.back();
    };
    options.keyframeWanted = [&] { ++keyRequests; };
    Recorder recorder(options);

    const PhoneClip portrait = phoneClip("phone_h264_320x640.h264");
    const PhoneClip landscape = phoneClip("phone_h264_640x360.h264");
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
    EXPECT_NE(recorder.statusText().find("Saved recording1.mp4"), std::string::npos);

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

TEST(Recorder, ADiskThatFailsStopsTheRecordingWithAPlainReason) {
    TempDir dir;
    RecorderOptions options;
    // A folder where the file should be: the file cannot be made.
    options.newFilePath = [&] {
        createDirectory(dir.file(L"taken.mp4"));
        return dir.file(L"taken.mp4");
    };
    Recorder recorder(options);
    const PhoneClip portrait = phoneClip("phone_h264_320x640.h264");
    sendConfig(recorder, portrait, 320, 640);
    recorder.start();
    sendPictures(recorder, portrait, 0, 0);
    EXPECT_FALSE(recorder.wanted());
    EXPECT_EQ(recorder.statusText(), "Recording failed: couldn't write taken.mp4.");
}

}  // namespace
}  // namespace tov
