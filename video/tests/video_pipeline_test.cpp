#include "video/video_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"
#include "video/tests/annexb_units.h"
#include "video/tests/fake_video_parts.h"

namespace tov {
namespace {

using test::waitUntil;
using Bytes = std::vector<uint8_t>;

#ifdef _WIN32
const std::string kEol = "\r\n";  // the log is a text file
#else
const std::string kEol = "\n";
#endif

const Bytes kCsd = {0, 0, 0, 1, 0x67, 0x42, 0, 0, 0, 1, 0x68};

class VideoPipelineTest : public ::testing::Test {
  protected:
    VideoPipelineTest() {
        openLog();
        makePipeline({});
    }
    void makePipeline(const std::string& streamName) {
        pipeline.reset();
        VideoPipeline::Callbacks cb;
        cb.keyFrameWanted = [this] { ++keyRequests; };
        cb.phoneToPc = [this](int64_t t, int64_t* out) {
            if (!clockMapped) return false;
            *out = t;
            return true;
        };
        // As in the window: the decoder hands each picture to the renderer.
        decoder.pictureMade = [this](int64_t pts) { presenter.hold(pts); };
        pipeline = std::make_unique<VideoPipeline>(decoder, presenter, cb, [this] {
            ++clockReads;
            return clock.load();
        });
        pipeline->setStreamName(streamName);
        pipeline->start();
        EXPECT_TRUE(waitUntil([&] { return pipeline->idle(); }));  // the black start is shown
    }
    // A test that stopped early may have left the decoder held; the video thread must be able to
    // finish, or the failure would show as a hang.
    ~VideoPipelineTest() override {
        decoder.release();
        presenter.releasePresents();
        pipeline.reset();
    }

    void config(int32_t w = 320, int32_t h = 640, int32_t fps = 30, int32_t codec = 0,
                const Bytes& csd = kCsd) {
        pipeline->onConfig(w, h, fps, codec, csd.data(), csd.size());
    }
    // Packet bytes carry their number, so the decoder's inputs tell which packet they were.
    void packet(uint8_t n, bool key, int64_t pts = 0) {
        const Bytes b = {0, 0, 0, 1, static_cast<uint8_t>(key ? 0x65 : 0x41), n};
        pipeline->onPacket(b.data(), b.size(), pts, key);
    }
    static Bytes packetBytes(uint8_t n, bool key) {
        return {0, 0, 0, 1, static_cast<uint8_t>(key ? 0x65 : 0x41), n};
    }
    static Bytes withCsd(const Bytes& b) {
        Bytes out = kCsd;
        out.insert(out.end(), b.begin(), b.end());
        return out;
    }
    // Feeds one packet and waits until the video thread has dealt with it.
    void fed(uint8_t n, bool key, int64_t pts = 0) {
        const int decodes = decoder.decodes;
        const int64_t dropped = pipeline->snapshot().dropped;
        packet(n, key, pts);
        ASSERT_TRUE(waitUntil(
            [&] { return decoder.decodes > decodes || pipeline->snapshot().dropped > dropped; }));
        ASSERT_TRUE(waitUntil([&] { return pipeline->idle(); }));
    }
    std::string log() {
        std::string s;
        readFile(joinPath(joinPath(dir.path(), L"Tovenmar"), L"tovenmar.log"), s);
        return s;
    }
    size_t count(const std::string& text) {
        const std::string s = log();
        size_t n = 0;
        for (size_t at = s.find(text); at != std::string::npos; at = s.find(text, at + 1)) ++n;
        return n;
    }
    // A second passes and the video thread looks at the clock: the interval's summary is due.
    void passASecond() {
        clock += 1000000;
        pipeline->clockMoved();
    }
    // Nothing changes for a while: no present, and neither thread wakes to do anything (the
    // video thread's passes read the clock, the present thread's look for a resize). At most
    // one look of a pass still ending is allowed for.
    void expectQuiet() {
        const int presents = presenter.presents;
        const int polls = presenter.polls;
        const int reads = clockReads;
        sleepMs(350);
        EXPECT_EQ(presenter.presents, presents);
        EXPECT_LE(presenter.polls - polls, 1);
        EXPECT_LE(clockReads - reads, 1);
    }

    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    test::FakeDecoder decoder;
    test::FakePresenter presenter;
    std::atomic<int> keyRequests{0};
    std::atomic<bool> clockMapped{false};
    std::atomic<int64_t> clock{10000000};
    std::atomic<int> clockReads{0};
    std::unique_ptr<VideoPipeline> pipeline;
};

TEST_F(VideoPipelineTest, WaitsForAKeyFrameAndPutsTheCsdInFrontOfKeyFramesOnly) {
    ASSERT_TRUE(waitUntil([&] { return presenter.presents == 1; }));  // black at start
    config(320, 640, 30);
    fed(1, false);
    fed(2, false);
    fed(3, true);
    fed(4, false);
    fed(5, true);
    const std::vector<Bytes> inputs = decoder.inputs();
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(inputs[0], withCsd(packetBytes(3, true)));
    EXPECT_EQ(inputs[1], packetBytes(4, false));
    EXPECT_EQ(inputs[2], withCsd(packetBytes(5, true)));
    const VideoSnapshot s = pipeline->snapshot();
    EXPECT_EQ(s.received, 5);
    EXPECT_EQ(s.dropped, 2);
    EXPECT_EQ(keyRequests, 0);  // waiting after a config asks the phone for nothing
    ASSERT_EQ(decoder.opens().size(), 1u);
    EXPECT_EQ(decoder.opens()[0].width, 320);
    EXPECT_EQ(decoder.opens()[0].height, 640);
    EXPECT_EQ(presenter.streamWidth, 320);
    EXPECT_EQ(presenter.streamHeight, 640);
    EXPECT_EQ(presenter.presents, 4);
    EXPECT_NE(log().find("video: config 320x640 @30, csd 11 bytes"), std::string::npos);
}

TEST_F(VideoPipelineTest, ConfigWithoutAUsableRateRunsAt60AndKeepsTheCodec) {
    config(1080, 2400, 0, 1);
    config(1080, 2400, -5, 0, {});
    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 2; }));
    EXPECT_EQ(decoder.opens()[0].fps, 60);
    EXPECT_EQ(decoder.opens()[0].codec, 1);
    EXPECT_EQ(decoder.opens()[1].fps, 60);
    EXPECT_EQ(presenter.streamFps, 60);
    EXPECT_EQ(presenter.configs, 2);
    // The window is reshaped to the stream once its size is known: the phone's screen size,
    // which shapes a window without a stream, must not follow and undo it.
    EXPECT_EQ(presenter.shapedWithoutSize, 0);
    EXPECT_NE(log().find("video: config 1080x2400 @60, csd 0 bytes"), std::string::npos);
    // Without csd a key frame goes to the decoder as it is.
    fed(1, true);
    EXPECT_EQ(decoder.inputs().at(0), packetBytes(1, true));
}

TEST_F(VideoPipelineTest, BacklogIsThrownAwayForTheNextKeyFrameAndAQueuedConfigSurvives) {
    config();
    decoder.hold();
    packet(1, true);
    ASSERT_TRUE(waitUntil([&] { return decoder.decodes == 1; }));  // stuck in the decoder
    for (uint8_t n = 2; n <= 5; ++n) packet(n, false);
    config(640, 360, 30);
    for (uint8_t n = 6; n <= 9; ++n) packet(n, false);
    EXPECT_EQ(keyRequests, 0);
    EXPECT_EQ(pipeline->snapshot().dropped, 0);
    packet(10, false);  // the ninth waiting packet
    EXPECT_EQ(keyRequests, 1);
    EXPECT_EQ(pipeline->snapshot().dropped, 9);
    decoder.release();

    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 2; }));
    EXPECT_EQ(decoder.opens()[1].width, 640);
    fed(11, false);  // still waiting for a key frame
    fed(12, true);
    const std::vector<Bytes> inputs = decoder.inputs();
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[1], withCsd(packetBytes(12, true)));
    const VideoSnapshot s = pipeline->snapshot();
    EXPECT_EQ(s.received, 12);
    EXPECT_EQ(s.dropped, 10);
    EXPECT_EQ(s.backlogResets, 1);  // the stream adapter counts these
}

TEST_F(VideoPipelineTest, KeyFrameJoinsTheBacklogAndOnlyTheNewestPictureIsShown) {
    config();
    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 1; }));
    decoder.hold();
    packet(1, true);
    ASSERT_TRUE(waitUntil([&] { return decoder.decodes == 1; }));
    const int presentsBefore = presenter.presents;
    for (uint8_t n = 2; n <= 9; ++n) packet(n, false);
    packet(10, true);
    EXPECT_EQ(keyRequests, 0);
    EXPECT_EQ(pipeline->snapshot().dropped, 0);
    decoder.release();
    ASSERT_TRUE(waitUntil([&] { return decoder.decodes == 10 && pipeline->idle(); }));
    const int shown = presenter.presents - presentsBefore;
    EXPECT_GE(shown, 1);  // the newest; the stalled one too unless the newest replaced it
    EXPECT_LE(shown, 2);
    // Every packet is decoded in order; the pictures of 2..9 had newer ones behind them.
    const std::vector<Bytes> inputs = decoder.inputs();
    for (uint8_t n = 2; n <= 9; ++n) EXPECT_EQ(inputs[n - 1], packetBytes(n, false));
    EXPECT_EQ(inputs[9], withCsd(packetBytes(10, true)));
    EXPECT_EQ(pipeline->snapshot().dropped, 10 - shown);
}

TEST_F(VideoPipelineTest, ADecoderSlowerThanTheStreamStillShowsAPicturePerFrameInterval) {
    config();  // 30 fps: 33 ms a frame
    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 1; }));
    decoder.duringDecode = [this] {
        clock += 40000;
        sleepMs(5);  // lets the present thread show each offered picture
    };
    decoder.hold();
    packet(1, true);
    ASSERT_TRUE(waitUntil([&] { return decoder.decodes == 1; }));
    const int presentsBefore = presenter.presents;
    for (uint8_t n = 2; n <= 8; ++n) packet(n, false);  // short of the backlog limit
    decoder.release();
    ASSERT_TRUE(waitUntil([&] { return decoder.decodes == 8 && pipeline->idle(); }));
    // Each picture took longer than a frame: the screen moves on with the backlog instead of
    // standing still until it is gone.
    EXPECT_GE(presenter.presents - presentsBefore, 6);
    // The running totals tell the stream adapter how long a picture takes to decode.
    const VideoSnapshot s = pipeline->snapshot();
    EXPECT_GE(s.decodedPictures, 7);
    EXPECT_EQ(s.decodeMicros, s.decodedPictures * 40000);
    EXPECT_GE(s.presentedPictures, 6);
    EXPECT_EQ(s.backlogResets, 0);
}

TEST_F(VideoPipelineTest, KeyFramesBehindAStalledDecoderKeepOnlyTheNewestAndWhatFollows) {
    config();
    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 1; }));
    decoder.hold();
    packet(1, true);
    ASSERT_TRUE(waitUntil([&] { return decoder.decodes == 1; }));  // the decoder stalls
    for (uint8_t n = 2; n <= 9; ++n) packet(n, false);
    // The phone goes on sending key frames (or answers key frame requests) the whole time.
    for (uint8_t n = 10; n <= 200; ++n) packet(n, true);
    packet(201, false);
    EXPECT_EQ(keyRequests, 0);  // the newest key frame is at hand
    const int presentsBefore = presenter.presents;
    decoder.release();
    ASSERT_TRUE(waitUntil([&] { return decoder.inputs().size() >= 3 && pipeline->idle(); }));
    // The newest picture is shown; the stalled one too unless the newest replaced it first.
    const int shown = presenter.presents - presentsBefore;
    EXPECT_GE(shown, 1);
    EXPECT_LE(shown, 2);
    // At most the backlog of eight plus one packet waited, ending with the newest key frame and
    // the packet that followed it.
    const std::vector<Bytes> inputs = decoder.inputs();
    EXPECT_LE(inputs.size(), 1u + 9u);
    ASSERT_GE(inputs.size(), 3u);
    EXPECT_EQ(inputs[inputs.size() - 2], withCsd(packetBytes(200, true)));
    EXPECT_EQ(inputs.back(), packetBytes(201, false));
    // All but the ones shown: thrown away, decoded behind a newer packet, or replaced.
    const VideoSnapshot s = pipeline->snapshot();
    EXPECT_EQ(s.received, 201);
    EXPECT_EQ(s.dropped, 201 - shown);
}

// The stream adapter changes the size mid-stream with one new config: the last picture stays on
// screen until the first of the new size, never black in between.
TEST_F(VideoPipelineTest, AMidStreamSizeChangeKeepsThePictureUntilTheNewSizesFirst) {
    config(720, 1600, 30);
    fed(1, true, 100);
    ASSERT_EQ(presenter.shown(), 100);
    const int presents = presenter.presents;
    const int drops = presenter.drops;
    config(480, 1066, 30);
    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 2; }));
    ASSERT_TRUE(waitUntil([&] { return pipeline->idle(); }));
    EXPECT_EQ(presenter.presents, presents);
    EXPECT_EQ(presenter.drops, drops);
    EXPECT_EQ(presenter.shown(), 100);
    fed(2, true, 200);
    EXPECT_EQ(presenter.shown(), 200);
    EXPECT_EQ(presenter.streamWidth, 480);
    EXPECT_EQ(presenter.streamHeight, 1066);
}

TEST_F(VideoPipelineTest, FailedDecodeReopensAndAsksForAKeyFrame) {
    config(320, 640, 25);
    fed(1, true);
    decoder.failNextDecodes = 1;
    fed(2, false);
    ASSERT_TRUE(waitUntil([&] { return keyRequests == 1; }));
    fed(3, false);  // skipped: waiting for the key frame just asked for
    fed(4, true);
    const auto opens = decoder.opens();
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[1].width, 320);
    EXPECT_EQ(opens[1].fps, 25);
    EXPECT_EQ(decoder.inputs().size(), 3u);
    EXPECT_EQ(pipeline->snapshot().dropped, 2);
    EXPECT_NE(log().find("video: decode failed, reopening and asking for a keyframe"),
              std::string::npos);
}

TEST_F(VideoPipelineTest, FailedReopenDropsEverythingUntilTheNextConfig) {
    config();
    fed(1, true);
    decoder.failNextDecodes = 1;
    decoder.openSucceeds = false;
    fed(2, false);
    fed(3, true);  // no decoder: dropped, even though it is a key frame
    EXPECT_EQ(decoder.inputs().size(), 2u);
    EXPECT_EQ(pipeline->snapshot().dropped, 2);
    decoder.openSucceeds = true;
    config();
    fed(4, true);
    EXPECT_EQ(decoder.inputs().size(), 3u);
}

TEST_F(VideoPipelineTest, DecoderThatWillNotOpenLeavesNoPictureAndNoGpu) {
    decoder.gpu = true;
    decoder.openSucceeds = false;
    config(320, 640, 30, 1);
    fed(1, true);
    fed(2, false);
    EXPECT_EQ(decoder.decodes, 0);
    EXPECT_EQ(pipeline->snapshot().dropped, 2);
    EXPECT_FALSE(pipeline->snapshot().onGpu);
    EXPECT_NE(log().find("video: decoder failed to open"), std::string::npos);

    decoder.openSucceeds = true;
    config(320, 640, 30, 0);
    fed(3, true);
    EXPECT_EQ(decoder.decodes, 1);
    EXPECT_TRUE(pipeline->snapshot().onGpu);
}

TEST_F(VideoPipelineTest, ResetForgetsStreamCountersAndCsdAndShowsBlack) {
    config();
    fed(1, true);
    fed(2, false);
    ASSERT_EQ(pipeline->snapshot().received, 2);
    const int presents = presenter.presents;
    pipeline->reset();
    ASSERT_TRUE(waitUntil([&] { return presenter.streamWidth == 0; }));
    ASSERT_TRUE(waitUntil([&] { return presenter.presents == presents + 1; }));
    EXPECT_EQ(presenter.streamHeight, 0);
    EXPECT_EQ(presenter.drops, 1);
    EXPECT_FALSE(decoder.isOpen());
    EXPECT_EQ(pipeline->snapshot().received, 0);
    EXPECT_EQ(pipeline->snapshot().dropped, 0);

    fed(3, true);  // no decoder after a reset
    EXPECT_EQ(pipeline->snapshot().dropped, 1);
    config(320, 640, 30, 0, {});
    fed(4, true);
    EXPECT_EQ(decoder.inputs().back(), packetBytes(4, true));  // the old csd is gone
}

TEST_F(VideoPipelineTest, PresentsOnlyANewPictureAResizeOrAnExpose) {
    ASSERT_EQ(presenter.presents, 1);  // the window starts black
    // Before a stream: the link states reset an already black window, the decoder is opened
    // ahead (the second prepare is seen once both resets are done).
    pipeline->reset();
    pipeline->prepare(0, 320, 640, 30);
    pipeline->reset();
    pipeline->prepare(0, 640, 320, 30);
    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 2 && pipeline->idle(); }));
    EXPECT_EQ(presenter.presents, 1);
    expectQuiet();

    config();
    fed(1, true, 100);
    EXPECT_EQ(presenter.presents, 2);
    EXPECT_EQ(presenter.shown(), 100);
    presenter.resize = true;  // as the window does on WM_SIZE
    pipeline->wake();
    ASSERT_TRUE(waitUntil([&] { return pipeline->idle(); }));
    EXPECT_EQ(presenter.presents, 3);
    pipeline->wake();  // uncovered (WM_PAINT)
    ASSERT_TRUE(waitUntil([&] { return pipeline->idle(); }));
    EXPECT_EQ(presenter.presents, 4);

    // A still phone screen sends nothing: the summaries of the second with the picture and of
    // the one after it, then nothing at all.
    passASecond();
    ASSERT_TRUE(waitUntil([&] { return pipeline->snapshot().shownPerSecond == 1; }));
    passASecond();
    ASSERT_TRUE(waitUntil([&] { return pipeline->snapshot().shownPerSecond == 0; }));
    expectQuiet();
    EXPECT_EQ(presenter.presents, 4);
    // A screenshot reads the picture without presenting it.
    std::atomic<bool> grabbed{false};
    pipeline->grabPicture([&](std::optional<Bitmap> picture) { grabbed = picture.has_value(); });
    ASSERT_TRUE(waitUntil([&] { return grabbed.load(); }));
    EXPECT_EQ(presenter.presents, 4);
}

// The stream restarts while the present thread is busy, so that the reset's black and the next
// stream's first picture are taken in one pass: the picture is shown, not dropped for the black
// (with a still phone screen no other picture would come).
TEST_F(VideoPipelineTest, ANewStreamsFirstPictureIsNotLostBehindTheResetsBlack) {
    config();
    fed(1, true, 100);
    ASSERT_EQ(presenter.shown(), 100);
    presenter.holdPresents();
    const int entered = presenter.presentsEntered;
    pipeline->wake();
    ASSERT_TRUE(waitUntil([&] { return presenter.presentsEntered > entered; }));
    // The picture after the first waits in the decoder, so that the first has been offered.
    std::atomic<bool> inThird{false};
    std::atomic<bool> goOn{false};
    decoder.pictureMade = [&](int64_t pts) {
        if (pts == 300) {
            inThird = true;
            waitUntil([&] { return goOn.load(); });
        }
        presenter.hold(pts);
    };
    pipeline->reset();
    config();
    packet(2, true, 200);
    packet(3, false, 300);
    ASSERT_TRUE(waitUntil([&] { return inThird.load(); }));
    presenter.releasePresents();
    ASSERT_TRUE(waitUntil([&] { return pipeline->idle(); }));
    EXPECT_EQ(presenter.shown(), 200);
    goOn = true;
    EXPECT_TRUE(waitUntil([&] { return presenter.shown() == 300; }));
}

TEST_F(VideoPipelineTest, StatisticsAndTimingOncePerSecondAndQuietWithoutVideo) {
    clockMapped = true;
    presenter.presenterInfo = {320, 640, 800, 600, 0x887A0005u};
    presenter.bltFailures = 2;
    config(320, 640, 30);
    const int64_t t = clock;
    fed(1, true, t - 30000);
    fed(2, false, t - 20000);
    fed(3, false, t - 10000);
    ASSERT_TRUE(waitUntil([&] { return presenter.presents == 4; }));
    passASecond();
    ASSERT_TRUE(waitUntil([&] { return pipeline->snapshot().shownPerSecond == 3; }));
    EXPECT_EQ(pipeline->snapshot().latencyMs, 20);
    ASSERT_TRUE(waitUntil([&] { return count("timing: ") == 1; }));
    EXPECT_EQ(count("video: rx 3, decoded 3, shown 3, waiting-for-key 0, blt-fail 2 (0x887a0005), "
                    "queue 0 | phone->PC 20.0 ms, decode 0.0 ms, total 20 ms | 320x640 frame "
                    "320x640 back 800x600" +
                    kEol),
              1u);
    EXPECT_EQ(count("timing: expect 33.3 | capture gap 10.0 sd 0.0 max 10.0 | arrive gap 0.0 sd "
                    "0.0 max 0.0, bunched 2 | shown 3 of 3, gap 0.0 sd 0.0 max 0.0 | trip spread "
                    "20.0 ms | monitor 60 Hz" +
                    kEol),
              1u);

    // Seconds without video: no more summaries.
    for (int i = 0; i < 3; ++i) passASecond();
    ASSERT_TRUE(waitUntil([&] { return pipeline->snapshot().shownPerSecond == 0; }));
    EXPECT_EQ(count("video: rx"), 1u);
    EXPECT_EQ(count("timing: "), 1u);
    EXPECT_EQ(pipeline->snapshot().latencyMs, -1);
}

TEST_F(VideoPipelineTest, FramesCsvHasALinePerDecodedPacketAndRestartsAtEachStream) {
    const std::wstring csvPath = joinPath(joinPath(dir.path(), L"Tovenmar"), L"frames.csv");
    config();
    fed(1, true, 5000);
    fed(2, false, 38333);
    fed(3, false, 71667);
    passASecond();  // the summary flushes the file
    std::string text;
    ASSERT_TRUE(waitUntil(
        [&] { return readFile(csvPath, text) && text.find("71667,") != std::string::npos; }));
    const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    EXPECT_EQ(text.substr(0, text.find(eol)),
              "pts_us,captured_us,arrived_us,decoded_us,shown_us,bytes,key,dequeued_us,present_us,"
              "upload_us,draw_us");
    // No clock mapping, so captured is 0; whether a picture was shown before the next one
    // replaced it is up to the present thread.
    EXPECT_NE(text.find(eol + "5000,0,10000000,10000000,"), std::string::npos);
    EXPECT_NE(text.find(eol + "38333,0,10000000,10000000,"), std::string::npos);

    // A new size within the stream (the adapter lowered it) keeps the stream's rows.
    config();
    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 2; }));
    fed(4, true, 104999);
    passASecond();
    ASSERT_TRUE(waitUntil(
        [&] { return readFile(csvPath, text) && text.find("104999,") != std::string::npos; }));
    EXPECT_NE(text.find("38333,"), std::string::npos);

    // A new stream starts a new file.
    pipeline->reset();
    config();
    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 3; }));
    ASSERT_TRUE(readFile(csvPath, text));
    EXPECT_EQ(text.find("38333,"), std::string::npos);
}

TEST_F(VideoPipelineTest, AStreamBesideOthersKeepsItsOwnTimingFileAndLogLines) {
    // Two phones streaming at once would otherwise write over each other's frames.csv.
    makePipeline("R58MSEVB01");
    const std::wstring folder = joinPath(dir.path(), L"Tovenmar");
    config();
    fed(1, true, 5000);
    fed(2, false, 38333);
    passASecond();
    std::string text;
    ASSERT_TRUE(waitUntil([&] {
        return readFile(joinPath(folder, L"frames-R58MSEVB01.csv"), text) &&
               text.find("38333,") != std::string::npos;
    }));
    EXPECT_FALSE(isFile(joinPath(folder, L"frames.csv")));
    EXPECT_TRUE(waitUntil([&] { return count("video R58MSEVB01: rx 2, decoded 2") == 1; }));
    EXPECT_EQ(count("video: "), 0u);
}

TEST_F(VideoPipelineTest, APictureHeldBackByTheDecoderIsTimedFromItsOwnPacket) {
    const std::wstring csvPath = joinPath(joinPath(dir.path(), L"Tovenmar"), L"frames.csv");
    decoder.oneBehind = true;
    clockMapped = true;
    config();
    // Each packet arrives 5 ms after its capture, a frame interval after the one before; its
    // picture comes out only when the next one goes in.
    const int64_t t0 = clock;
    fed(1, true, t0 - 5000);
    EXPECT_EQ(presenter.shown(), test::FakePresenter::kBlack);
    clock = t0 + 33333;
    fed(2, false, t0 + 28333);
    ASSERT_TRUE(waitUntil([&] { return presenter.shown() == t0 - 5000; }));
    passASecond();
    // Shown a frame interval after its own packet arrived: 38 ms after its capture, not the 5 ms
    // of the packet that pushed it out.
    ASSERT_TRUE(waitUntil([&] { return pipeline->snapshot().latencyMs != -1; }));
    EXPECT_EQ(pipeline->snapshot().latencyMs, 38);
    ASSERT_TRUE(waitUntil([&] { return count("video: rx") == 1; }));
    EXPECT_EQ(count("total 38 ms"), 1u);
    std::string text;
    ASSERT_TRUE(waitUntil([&] {
        return readFile(csvPath, text) &&
               text.find(std::to_string(t0 - 5000) + ",") != std::string::npos;
    }));
    const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    // pts, captured, arrived, decoded: its own capture and arrival, decoded when packet 2 went in.
    EXPECT_NE(text.find(eol + std::to_string(t0 - 5000) + "," + std::to_string(t0 - 5000) + "," +
                        std::to_string(t0) + "," + std::to_string(t0 + 33333) + ","),
              std::string::npos);
}

TEST_F(VideoPipelineTest, DecoderOpenedAheadServesAMatchingConfigAndOnlyThat) {
    // Opened ahead, it survives the resets of the states before live and the matching config.
    pipeline->prepare(0, 320, 640, 60);
    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 1; }));
    pipeline->reset();
    config(320, 640, 30, 0);
    fed(1, true);
    EXPECT_EQ(decoder.opens().size(), 1u);
    EXPECT_EQ(decoder.inputs().size(), 1u);

    // After a stream, a reset closes it; a config of another size opens its own.
    pipeline->reset();
    pipeline->prepare(0, 320, 640, 60);
    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 2; }));
    config(640, 320, 30, 0);
    fed(2, true);
    ASSERT_EQ(decoder.opens().size(), 3u);
    EXPECT_EQ(decoder.opens().back().width, 640);

    // A prepare never disturbs a stream in progress; no stream coming closes a prepared one.
    pipeline->prepare(1, 100, 100, 60);
    fed(3, false);
    EXPECT_EQ(decoder.opens().size(), 3u);
    pipeline->reset();
    pipeline->prepare(0, 320, 640, 60);
    ASSERT_TRUE(waitUntil([&] { return decoder.opens().size() == 4; }));
    pipeline->prepare(-1, 0, 0, 0);
    EXPECT_TRUE(waitUntil([&] { return !decoder.isOpen(); }));
}

TEST_F(VideoPipelineTest, ColoursComeFromTheStreamElseTheDecoderElseThePictureSize) {
    std::string clip;
    ASSERT_TRUE(readFile(test::sourceFile("tests/media/colour_bt709_full.h264"), clip));
    const Bytes tagged = test::splitH264(clip, true).csd;
    auto colourIs = [&](ColourSpace expected) {
        return waitUntil([&] { return presenter.colour() == expected; });
    };
    config(320, 640, 30, 0, tagged);
    EXPECT_TRUE(colourIs({ColourMatrix::Bt709, true}));
    config(320, 640, 30, 0, kCsd);  // no colour description
    EXPECT_TRUE(colourIs({ColourMatrix::Bt601, false}));
    config(1280, 720, 30, 0, kCsd);
    EXPECT_TRUE(colourIs({ColourMatrix::Bt709, false}));
    // The decoder's output type tells it only once it has made a picture.
    decoder.setOutputColour({ColourMatrix::Bt601, true});
    fed(1, true);
    EXPECT_TRUE(colourIs({ColourMatrix::Bt601, true}));
    EXPECT_NE(log().find("video: colours BT.601, full range (matrix by decoder, range by decoder)"),
              std::string::npos);
}

TEST_F(VideoPipelineTest, StopClosesTheDecoderOnTheVideoThread) {
    config();
    fed(1, true);
    EXPECT_TRUE(decoder.threadStarted);
    pipeline->stop();
    EXPECT_TRUE(decoder.threadEnded);
    EXPECT_FALSE(decoder.isOpen());
    // Stopping twice, and packets after the stop, are harmless.
    pipeline->stop();
    packet(2, false);
}

}  // namespace
}  // namespace tov
