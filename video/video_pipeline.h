// The video thread takes configs and packets from the stream session, decodes every packet and
// throws a backlog away in favour of the next key frame; the present thread shows the newest
// decoded picture, so a slow present never holds up decoding and a picture that a newer one
// replaced before its turn is never shown. Both measure the path (counters, log summaries,
// frames.csv).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/bitmap.h"
#include "video/frame_decoder.h"
#include "video/frame_presenter.h"
#include "video/frame_queue.h"
#include "video/frame_stats.h"
#include "video/frames_csv.h"
#include "video/video_item.h"

namespace tov {

struct VideoSnapshot {
    int shownPerSecond = 0;
    int latencyMs = -1;
    int64_t received = 0;
    int64_t dropped = 0;
    bool onGpu = false;
    // Running totals since the pipeline started (never set back), for the stream adapter.
    int64_t decodedPictures = 0;
    int64_t decodeMicros = 0;
    int64_t presentedPictures = 0;
    int64_t presentMicros = 0;
    int64_t backlogResets = 0;
};

class VideoPipeline {
  public:
    struct Callbacks {
        // Ask the phone for a key frame (called without any lock held).
        std::function<void()> keyFrameWanted;
        // Phone capture time (us) to PC clock time; false while the offset is unknown.
        std::function<bool(int64_t phoneMicros, int64_t* pcMicros)> phoneToPc;
    };
    using Clock = std::function<int64_t()>;
    using PictureHandler = std::function<void(std::optional<Bitmap>)>;

    // The decoder and presenter are used only on the video thread and must outlive the pipeline.
    // `clock` defaults to the program's microsecond clock.
    VideoPipeline(FrameDecoder& decoder, FramePresenter& presenter, Callbacks callbacks,
                  Clock clock = {});
    ~VideoPipeline();
    VideoPipeline(const VideoPipeline&) = delete;
    VideoPipeline& operator=(const VideoPipeline&) = delete;

    // Before start: the name of this stream when several run at once. Its log lines say
    // "video NAME: ..." and its timing file is "frames-NAME.csv", so that the streams' figures
    // stay apart; empty (the only stream) keeps "video: ..." and "frames.csv".
    void setStreamName(const std::string& name);
    void start();
    // Ends and joins the video thread; the decoder is closed on it.
    void stop();

    // Session thread.
    void onConfig(int32_t width, int32_t height, int32_t fps, int32_t codec, const uint8_t* csd,
                  size_t csdLength);
    void onPacket(const uint8_t* data, size_t size, int64_t pts, bool key);
    // Any thread: back to no stream and a black window.
    void reset();
    // Any thread: a stream like this one is coming (Start was pressed, the phone app is being
    // started). Opening the decoder now takes its start-up off the first picture's time; the
    // config keeps it when codec and size match. `codec` < 0: none is coming any more.
    void prepare(int32_t codec, int32_t width, int32_t height, int32_t fps);
    // Any thread: the window was resized or uncovered and wants a present.
    void wake();
    // Any thread: the clock jumped (tests drive their own); the video thread looks at it now
    // rather than at its next deadline.
    void clockMoved() { queue_.poke(); }
    // Any thread: `done` receives, on the present thread, the picture shown at the stream's own
    // size, or nothing when none is shown. Requests still waiting at stop are dropped.
    void grabPicture(PictureHandler done);

    VideoSnapshot snapshot() const;
    // Nothing queued, nothing waiting to be shown and no present under way (tests wait for it;
    // a packet being decoded is not seen).
    bool idle();

  private:
    // A decoded picture waiting for the present thread, with its own packet's record.
    struct Offered {
        FrameRecord record;
    };

    void run();
    void presentLoop();
    void showOffered(Offered& picture);
    void offerPicture(const Offered& picture);
    void requestBlack();
    // Adds a finished record to the second's records and frames.csv (statsMutex_ held).
    void keepRecord(const FrameRecord& record);
    void handleConfig(VideoItem& item);
    void handlePacket(VideoItem& item, bool moreQueued);
    // The record of the packet a picture came from: the one fed with the picture's time, else
    // (time unknown or not among them) the oldest still waiting.
    FrameRecord takeFedRecord(bool timeKnown, int64_t time);
    // Packets fed that gave no picture and never will (the decoder was reopened or closed): their
    // records are kept as they are.
    void forgetFed();
    void handleReset();
    void handlePrepare(const VideoItem& item);
    bool openDecoder();
    // Tells the presenter the colours the pictures need, when they differ from the last told.
    void updateColour();
    void recover();
    void finishIntervalIfDue();
    // How long the video thread may wait before the second's summary is due; nothing while the
    // second has nothing to report, so that an idle pipeline sleeps until something happens.
    std::optional<std::chrono::milliseconds> untilSummaryDue();
    bool somethingToReport();
    void serveGrabs();
    int64_t now() const { return clock_(); }

    FrameDecoder& decoder_;
    FramePresenter& presenter_;
    Callbacks callbacks_;
    Clock clock_;
    FrameQueue queue_;
    std::thread thread_;
    std::thread presentThread_;

    std::mutex showMutex_;
    std::condition_variable showCv_;
    std::optional<Offered> offered_;  // the rest guarded by showMutex_
    bool blackWanted_ = false;
    bool presentWanted_ = false;
    bool grabWanted_ = false;
    bool presentStop_ = false;
    bool presentBusy_ = false;

    // Read by other threads.
    std::atomic<int64_t> received_{0};
    std::atomic<int64_t> dropped_{0};
    std::atomic<int> rxInterval_{0};
    std::atomic<int> shownPerSecond_{0};
    std::atomic<int> latencyMs_{-1};
    std::atomic<bool> onGpu_{false};
    std::atomic<int64_t> decodedTotal_{0};
    std::atomic<int64_t> decodeMicrosTotal_{0};
    std::atomic<int64_t> presentedTotal_{0};
    std::atomic<int64_t> presentMicrosTotal_{0};
    std::atomic<int64_t> backlogResets_{0};
    std::mutex grabLock_;
    std::vector<PictureHandler> grabs_;

    // Video thread only.
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t fps_ = 60;
    int64_t lastOfferedAt_ = 0;  // when the video thread last offered a picture (us)
    // A picture was decoded since black was last asked for: the window may show it.
    bool pictureSinceBlack_ = false;
    int32_t codec_ = 0;
    std::vector<uint8_t> csd_;
    StreamColour streamColour_;  // from the config's parameter sets
    std::optional<ColourSpace> colour_;
    bool colourConverted_ = false;
    std::vector<uint8_t> keyScratch_;
    // Packets fed to the decoder whose pictures have not come out yet: a decoder may hold one
    // back until the next packet, and every figure belongs to the picture actually shown.
    std::deque<FrameRecord> fed_;
    std::vector<FrameRecord> madeNow_;  // pictures out of the current decode call

    // Shared by both threads: statsMutex_.
    std::mutex statsMutex_;
    FramesCsv csv_;
    bool csvNewStream_ = true;  // the next config starts frames.csv afresh
    // Set before start: the stream's name, its log lines' tag and its timing file.
    std::string streamName_;
    std::string tag_ = "video";
    std::wstring csvName_ = L"frames.csv";
    int64_t configAt_ = 0;  // until the config's first picture is shown
    int shownInterval_ = 0;
    DurationSum latency_;
    std::vector<FrameRecord> records_;
    // What the open decoder was opened for ahead of a config (codec < 0: not opened ahead).
    int32_t preparedCodec_ = -1;
    int32_t preparedWidth_ = 0;
    int32_t preparedHeight_ = 0;

    int64_t intervalStart_ = 0;
    int decodedInterval_ = 0;
    int waitingForKeyInterval_ = 0;
    DurationSum phoneToPc_;
    DurationSum decodeTime_;
};

}  // namespace tov
