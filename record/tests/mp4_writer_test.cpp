#include "record/mp4_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/files.h"
#include "record/tests/recording_check.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

using namespace test;

struct Recording {
    std::string file;  // the bytes as they reached the disk
    std::vector<size_t> fragmentEnds;
};

// Plays `units` from `first` on as a 30 fps phone stream with phone-style time stamps, with a
// 48 kHz stereo tone in 10 ms packets when `sound`.
Recording record(VideoCodec codec, const std::string& stream, size_t first, bool sound) {
    Recording out;
    Mp4Writer writer;
    Mp4VideoTrack video{codec, 320, 640, parameterSets(codec, stream)};
    Mp4AudioTrack audio = sound ? Mp4AudioTrack{48000, 2} : Mp4AudioTrack{};
    EXPECT_TRUE(writer.start(video, audio, [&](std::string_view bytes) {
        out.file.append(bytes);
        out.fragmentEnds.push_back(out.file.size());
        return true;
    }));
    const std::vector<AccessUnit> units = accessUnits(codec, stream);
    const int64_t base = 987654321;
    int64_t audioUs = 0;
    int16_t phase = 0;
    for (size_t i = first; i < units.size(); ++i) {
        const int64_t t = base + static_cast<int64_t>(i) * 1000000 / 30;
        EXPECT_TRUE(writer.addVideo(units[i].bytes, t, units[i].key));
        for (; sound && audioUs < (static_cast<int64_t>(i) + 1) * 1000000 / 30; audioUs += 10000) {
            std::string pcm;
            for (int frame = 0; frame < 480; ++frame, phase += 700) {
                for (int channel = 0; channel < 2; ++channel) {
                    pcm.push_back(static_cast<char>(phase & 0xff));
                    pcm.push_back(static_cast<char>((phase >> 8) & 0xff));
                }
            }
            EXPECT_TRUE(writer.addAudio(pcm));
        }
    }
    EXPECT_TRUE(writer.finish());
    return out;
}

// The command's standard output, and its error output too when `errors`.
std::wstring store(const test::TempDir& dir, const wchar_t* name, std::string_view bytes) {
    const std::wstring path = dir.file(name);
    EXPECT_TRUE(writeFile(path, bytes));
    return path;
}

TEST(Mp4Writer, AnH264RecordingReadsBackWithEveryPictureItsSizeDurationAndSound) {
    test::TempDir dir;
    const Recording rec = record(VideoCodec::H264, clip("phone_h264_320x640.h264"), 0, true);
    const std::wstring path = store(dir, L"h264.mp4", rec.file);
    Probe p = probe(path);
    EXPECT_EQ(p.video["codec_name"], "h264");
    EXPECT_EQ(p.video["width"], "320");
    EXPECT_EQ(p.video["height"], "640");
    EXPECT_EQ(p.video["nb_read_frames"], "90");
    EXPECT_NEAR(std::atof(p.video["duration"].c_str()), 3.0, 1.0 / 30);
    EXPECT_EQ(p.sound["codec_name"], "pcm_s16le");
    EXPECT_EQ(p.sound["sample_rate"], "48000");
    EXPECT_EQ(p.sound["channels"], "2");
    EXPECT_NEAR(std::atof(p.sound["duration"].c_str()), 3.0, 1.0 / 30);
    // Every picture and every sound sample decodes without a complaint.
    EXPECT_EQ(decodeErrors(path), "");
}

TEST(Mp4Writer, AnHevcRecordingReadsBackAsHevc) {
    test::TempDir dir;
    const Recording rec = record(VideoCodec::Hevc, clip("phone_hevc_320x640.h265"), 0, false);
    const std::wstring path = store(dir, L"hevc.mp4", rec.file);
    Probe p = probe(path);
    EXPECT_EQ(p.video["codec_name"], "hevc");
    EXPECT_EQ(p.video["nb_read_frames"], "30");
    EXPECT_TRUE(p.sound.empty());
    EXPECT_EQ(decodeErrors(path), "");
}

TEST(Mp4Writer, ARecordingStartsAtAKeyFrameAndAFileCutShortReadsToItsLastWholeFragment) {
    test::TempDir dir;
    // Joined mid-picture-group: the pictures before the next key frame (the 31st) are left out.
    const Recording rec = record(VideoCodec::H264, clip("phone_h264_320x640.h264"), 5, true);
    Probe whole = probe(store(dir, L"whole.mp4", rec.file));
    EXPECT_EQ(whole.video["nb_read_frames"], "60");
    EXPECT_NEAR(std::atof(whole.video["duration"].c_str()), 2.0, 1.0 / 30);

    // Header, a one-second fragment, then the second one cut short early on: the first second
    // is all there, picture and sound.
    ASSERT_EQ(rec.fragmentEnds.size(), 3u);
    const size_t cut = rec.fragmentEnds[1] + 2000;
    Probe cutShort = probe(store(dir, L"cut.mp4", std::string_view(rec.file).substr(0, cut)));
    EXPECT_GE(std::atoi(cutShort.video["nb_read_frames"].c_str()), 30);
    EXPECT_GE(std::atof(cutShort.sound["duration"].c_str()), 1.0 - 1.0 / 30);
}

}  // namespace
}  // namespace tov
