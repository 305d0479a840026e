// The video thread: takes configs and packets from the stream session, decodes every packet,
// shows only the newest picture, throws a backlog away in favour of the next key frame, and
// measures the whole path (counters, log summaries, frames.csv).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
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

    void start();
    // Ends and joins the video thread; the decoder is closed on it.
    void stop();

    // Session thread.
    void onConfig(int32_t width, int32_t height, int32_t fps, int32_t codec, const uint8_t* csd,
                  size_t csdLength);
    void onPacket(const uint8_t* data, size_t size, int64_t pts, bool key);
    // Any thread: back to no stream and a black window.
    void reset();
    // Any thread, without locking: the window was resized.
    void wake() { queue_.wake(); }
    // Any thread: `done` receives, on the video thread, the picture shown at the stream's own
    // size, or nothing when none is shown. Requests still waiting at stop are dropped.
    void grabPicture(PictureHandler done);

    VideoSnapshot snapshot() const;

  private:
    void run();
    void handleConfig(VideoItem& item);
    void handlePacket(VideoItem& item, bool moreQueued);
    void handleReset();
    bool openDecoder();
    void recover();
    void finishIntervalIfDue();
    void serveGrabs();
    int64_t now() const { return clock_(); }

    FrameDecoder& decoder_;
    FramePresenter& presenter_;
    Callbacks callbacks_;
    Clock clock_;
    FrameQueue queue_;
    std::thread thread_;

    // Read by other threads.
    std::atomic<int64_t> received_{0};
    std::atomic<int64_t> dropped_{0};
    std::atomic<int> rxInterval_{0};
    std::atomic<int> shownPerSecond_{0};
    std::atomic<int> latencyMs_{-1};
    std::atomic<bool> onGpu_{false};
    std::mutex grabLock_;
    std::vector<PictureHandler> grabs_;
    std::atomic<bool> grabWanted_{false};

    // Video thread only.
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t fps_ = 60;
    int32_t codec_ = 0;
    std::vector<uint8_t> csd_;
    std::vector<uint8_t> keyScratch_;
    FramesCsv csv_;

    int64_t intervalStart_ = 0;
    int decodedInterval_ = 0;
    int shownInterval_ = 0;
    int waitingForKeyInterval_ = 0;
    DurationSum phoneToPc_;
    DurationSum decodeTime_;
    DurationSum latency_;
    std::vector<FrameRecord> records_;
};

}  // namespace tov
