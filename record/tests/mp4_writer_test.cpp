#include "record/mp4_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/files.h"
#include "platform/text.h"
#include "record/recording_clock.h"
#include "record/tests/recording_check.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

using namespace test;

constexpr int64_t kPhoneStart = 987654321;  // the phone's clock at the first picture sent
constexpr int64_t kFrameUs = 1000000 / 30;
constexpr int64_t kDelayUs = 20000;  // from a stamp to its arrival on the PC

struct Recording {
    std::string file;  // the bytes as they reached the disk
    std::vector<size_t> pieceEnds;
    size_t mostBuffered = 0;
};

// A phone stream made of a test clip played in a loop at 30 fps with the phone's time stamps,
// and a quiet 48 kHz stereo tone in 10 ms packets stamped on the same clock.
struct PhoneStream {
    VideoCodec codec = VideoCodec::H264;
    const char* clipName = "phone_h264_320x640.h264";
    size_t firstUnit = 0;
    int64_t seconds = 3;
    bool sound = true;
    // Sound comes only from here on, and none in [soundOffUs, soundOnUs).
    int64_t soundFromUs = 0;
    int64_t soundOffUs = -1, soundOnUs = -1;
    // No pictures from here on (the phone's screen stood still).
    int64_t picturesUntilUs = -1;
    // A click in the sound at this time (-1: none).
    int64_t clickUs = -1;
    // Before the first picture, a key packet that holds only parameter sets.
    bool keyWithoutPicture = false;
    bool finish = true;
    // The bytes written when the stream reached this time (-1: not kept).
    int64_t snapshotUs = -1;
    // The link stalls here for stallUs: the recorder's timer moves time on meanwhile, then the
    // pictures and sound held up in the link arrive all at once.
    int64_t stallFromUs = -1;
    int64_t stallUs = 0;
    std::string snapshot;
};

bool soundAt(const PhoneStream& s, int64_t us) {
    return s.sound && us >= s.soundFromUs && !(us >= s.soundOffUs && us < s.soundOnUs);
}

std::string soundPacket(const PhoneStream& s, int64_t startUs) {
    std::string pcm;
    for (int frame = 0; frame < 480; ++frame) {
        const int64_t at = startUs * 48 / 1000 + frame;
        int16_t v = static_cast<int16_t>(at % 48 < 24 ? 300 : -300);
        if (s.clickUs >= 0 && at == s.clickUs * 48 / 1000) v = 30000;
        for (int channel = 0; channel < 2; ++channel) {
            pcm.push_back(static_cast<char>(v & 0xff));
            pcm.push_back(static_cast<char>((v >> 8) & 0xff));
        }
    }
    return pcm;
}

// The stream through the recording's clock into the writer, as the recorder hands it on.
Recording record(PhoneStream& s) {
    Recording out;
    Mp4Writer writer;
    RecordingClock clock;
    const std::string stream = clip(s.clipName);
    Mp4VideoTrack video{s.codec, 320, 640, parameterSets(s.codec, stream)};
    EXPECT_TRUE(writer.start(video, Mp4AudioTrack{48000, 2}, [&](std::string_view bytes) {
        out.file.append(bytes);
        out.pieceEnds.push_back(out.file.size());
        return true;
    }));
    const auto arrival = [&](int64_t us) {
        const bool held =
            s.stallFromUs >= 0 && us >= s.stallFromUs && us < s.stallFromUs + s.stallUs;
        return (held ? s.stallFromUs + s.stallUs : us) + kDelayUs;
    };
    const auto picture = [&](std::string_view bytes, int64_t us, bool key) {
        const int64_t stamp = kPhoneStart + us;
        clock.seePicture(stamp, arrival(us));
        if (!writer.recording()) clock.startFile(stamp);
        EXPECT_TRUE(writer.addVideo(bytes, clock.pictureUs(stamp), key));
        EXPECT_TRUE(writer.advance(clock.settledUs(arrival(us))));
    };
    const std::vector<AccessUnit> units = accessUnits(s.codec, stream);
    if (s.keyWithoutPicture) picture(video.csd, -500000, true);
    int64_t soundUs = -100000;  // sound captured a little before the first picture too
    const int64_t frames = s.seconds * 30;
    for (int64_t i = 0; i <= frames; ++i) {
        const int64_t us = i * 1000000 / 30;
        for (; soundUs < std::min(us, s.seconds * 1000000); soundUs += 10000) {
            if (!soundAt(s, soundUs)) continue;
            clock.hearSound(kPhoneStart + soundUs, arrival(soundUs));
            EXPECT_TRUE(
                writer.addAudio(soundPacket(s, soundUs), clock.soundUs(kPhoneStart + soundUs)));
            EXPECT_TRUE(writer.advance(clock.settledUs(arrival(soundUs))));
        }
        if (s.snapshotUs >= 0 && us >= s.snapshotUs && s.snapshot.empty()) s.snapshot = out.file;
        out.mostBuffered = std::max(out.mostBuffered, writer.bufferedBytes());
        if (i == frames || (s.picturesUntilUs >= 0 && us >= s.picturesUntilUs)) continue;
        // The recorder's timer runs while the link is stalled.
        if (s.stallFromUs >= 0 && us >= s.stallFromUs && us - kFrameUs < s.stallFromUs) {
            EXPECT_TRUE(writer.advance(clock.settledUs(arrival(us) - 1)));
        }
        const AccessUnit& unit = units[(s.firstUnit + static_cast<size_t>(i)) % units.size()];
        picture(unit.bytes, us, unit.key);
    }
    std::vector<Mp4Patch> patches;
    if (s.finish) {
        EXPECT_TRUE(writer.finish(patches));
        for (const Mp4Patch& p : patches) out.file.replace(p.offset, p.bytes.size(), p.bytes);
    }
    return out;
}

std::wstring store(const test::TempDir& dir, const wchar_t* name, std::string_view bytes) {
    const std::wstring path = dir.file(name);
    EXPECT_TRUE(writeFile(path, bytes));
    return path;
}

// Where the loudest sample of the first channel is, in seconds.
double clickSeconds(const std::vector<int16_t>& samples) {
    size_t best = 0;
    for (size_t i = 0; i < samples.size(); i += 2) {
        if (std::abs(samples[i]) > std::abs(samples[best])) best = i;
    }
    return static_cast<double>(best / 2) / 48000.0;
}

TEST(Mp4Writer, AnH264RecordingReadsBackWithEveryPictureItsSizeDurationAndSound) {
    test::TempDir dir;
    PhoneStream s;
    const Recording rec = record(s);
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
    PhoneStream s;
    s.codec = VideoCodec::Hevc;
    s.clipName = "phone_hevc_320x640.h265";
    s.seconds = 1;
    s.sound = false;
    const Recording rec = record(s);
    const std::wstring path = store(dir, L"hevc.mp4", rec.file);
    Probe p = probe(path);
    EXPECT_EQ(p.video["codec_name"], "hevc");
    EXPECT_EQ(p.video["nb_read_frames"], "30");
    EXPECT_EQ(decodeErrors(path), "");
}

TEST(Mp4Writer, ARecordingStartsAtARealKeyPictureAndAFileCutShortReadsToItsLastWholeFragment) {
    test::TempDir dir;
    // Joined mid-picture-group: the pictures before the next key frame (the 31st) are left out,
    // and so is a key packet half a second earlier that holds parameter sets only.
    PhoneStream s;
    s.firstUnit = 5;
    s.seconds = 3;
    s.keyWithoutPicture = true;
    const Recording rec = record(s);
    Probe whole = probe(store(dir, L"whole.mp4", rec.file));
    EXPECT_EQ(whole.video["nb_read_frames"], "65");
    EXPECT_NEAR(std::atof(whole.video["duration"].c_str()), 65.0 / 30, 1.0 / 30);
    EXPECT_EQ(pictureTimes(dir.file(L"whole.mp4")).front(), 0.0);

    // Header, fragments of a second, the index: cut early in the second fragment, the first
    // second is all there, picture and sound.
    ASSERT_GE(rec.pieceEnds.size(), 4u);
    const size_t cut = rec.pieceEnds[1] + 2000;
    Probe cutShort = probe(store(dir, L"cut.mp4", std::string_view(rec.file).substr(0, cut)));
    EXPECT_GE(std::atoi(cutShort.video["nb_read_frames"].c_str()), 30);
    EXPECT_GE(std::atof(cutShort.sound["duration"].c_str()), 1.0 - 1.0 / 30);
}

TEST(Mp4Writer, AClickInTheSoundAndAFlashInThePictureLineUpAfterASoundGapOrALateFirstSound) {
    test::TempDir dir;
    struct Case {
        const wchar_t* name;
        int64_t soundFromUs, soundOffUs, soundOnUs, clickUs;
    };
    // Sound off for 3 s in the middle; the first sound 0.5 s after the key picture.
    for (const Case& c : {Case{L"gap.mp4", 0, 3000000, 6000000, 8000000},
                          Case{L"late.mp4", 500000, -1, -1, 2000000}}) {
        PhoneStream s;
        s.seconds = 10;
        s.soundFromUs = c.soundFromUs;
        s.soundOffUs = c.soundOffUs;
        s.soundOnUs = c.soundOnUs;
        s.clickUs = c.clickUs;
        const std::wstring path = store(dir, c.name, record(s).file);
        // The flash: the picture sent at the click's time, as ffmpeg places it.
        const std::vector<double> times = pictureTimes(path);
        const size_t flash = static_cast<size_t>(c.clickUs / kFrameUs);
        ASSERT_GT(times.size(), flash);
        EXPECT_NEAR(clickSeconds(soundSamples(path)), times[flash], 1.0 / 30)
            << narrow(c.name) << ": the picture is at " << times[flash];
    }
}

TEST(Mp4Writer, AStillScreenStillPutsTheSoundOnTheDiskEverySecondWithLittleHeldBack) {
    test::TempDir dir;
    // Pictures for the first second, then none for 19 s; the sound goes on.
    PhoneStream s;
    s.seconds = 20;
    s.picturesUntilUs = 1000000;
    s.snapshotUs = 10000000;
    s.finish = false;  // as the program is killed
    const Recording rec = record(s);
    Probe whileRunning = probe(store(dir, L"running.mp4", s.snapshot));
    EXPECT_GE(std::atof(whileRunning.sound["duration"].c_str()), 8.0);
    Probe killed = probe(store(dir, L"killed.mp4", rec.file));
    EXPECT_GE(std::atof(killed.sound["duration"].c_str()), 18.0);
    // The still screen's picture is held back until the next comes.
    EXPECT_EQ(killed.video["nb_read_frames"], "29");
    // At most a little over two fragments of sound wait in memory.
    EXPECT_LE(rec.mostBuffered, size_t{48000} * 4 * 5 / 2);
}

// Pictures held up in a stalled link reach the writer after its timer closed the file past
// their time: each still gets its own time, none is left out or squeezed into a flash.
TEST(Mp4Writer, PicturesLateAfterAStallKeepTheirOwnTimes) {
    test::TempDir dir;
    PhoneStream s;
    s.seconds = 6;
    s.stallFromUs = 1000000;
    s.stallUs = 2500000;
    const Recording rec = record(s);
    const std::wstring path = store(dir, L"stalled.mp4", rec.file);
    EXPECT_EQ(test::decodeErrors(path), "");
    const std::vector<double> times = pictureTimes(path);
    EXPECT_EQ(times.size(), 180u);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_NEAR(times[i] - times[i - 1], 1.0 / 30, 0.002) << i;
}

TEST(Mp4Writer, AFinishedFileTellsEveryReaderItsLengthAndSeeksToThePictureAsked) {
    test::TempDir dir;
    PhoneStream s;
    s.seconds = 7;
    s.firstUnit = 30;  // so that the picture at 3 s is not the clip's first
    const std::wstring path = store(dir, L"finished.mp4", record(s).file);
    for (const Reading& r : {gstDiscoverer(path), mediaInfo(path)}) {
        EXPECT_TRUE(r.video);
        EXPECT_TRUE(r.sound);
        EXPECT_NEAR(r.seconds, 7.0, 1.0 / 30);
    }
    Probe p = probe(path);
    EXPECT_NEAR(std::atof(p.video["duration"].c_str()), 7.0, 1.0 / 30);
    EXPECT_NEAR(std::atof(p.sound["duration"].c_str()), 7.0, 1.0 / 30);
    const Picture at3 = pictureAt(path, 3.0);
    EXPECT_NEAR(at3.seconds, 3.0, 1.0 / 30);
    bool found = false;
    for (const Picture& decoded : pictures(path)) {
        if (std::fabs(decoded.seconds - at3.seconds) < 0.001) found = decoded.md5 == at3.md5;
    }
    EXPECT_TRUE(found) << "the picture given at 3 s is not the one a full decode has there";
}

}  // namespace
}  // namespace tov
