// A decoder and a presenter that record what the video thread asks of them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "video/frame_decoder.h"
#include "video/frame_presenter.h"

namespace tov::test {

// Polls `done` until it holds or a generous limit passes; false on the limit.
bool waitUntil(const std::function<bool()>& done);

class FakeDecoder : public FrameDecoder {
  public:
    struct Opened {
        int32_t codec, width, height, fps;
    };

    bool open(int32_t codec, int32_t width, int32_t height, int32_t fps) override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool onGpu() const override { return open_ && gpu; }
    StreamColour outputColour() const override;
    void setOutputColour(StreamColour c);
    bool decode(const uint8_t* data, size_t size, int64_t ptsMicros,
                const PictureSink& sink) override;

    // Holds every decode until released, so that packets pile up in the queue.
    void hold();
    void release();

    // Settings (set before the traffic that uses them).
    std::atomic<bool> openSucceeds{true};
    std::atomic<bool> gpu{false};
    std::atomic<int> failNextDecodes{0};
    std::atomic<int> picturesPerPacket{1};
    std::atomic<bool> pictureTimeKnown{true};
    // As Wine's decoder does: a packet's picture comes out only when the next packet goes in.
    std::atomic<bool> oneBehind{false};
    // Receives each picture's time as it comes out, before the sink hears of it: where the real
    // decoder hands the picture itself to the renderer.
    std::function<void(int64_t pts)> pictureMade;
    // Runs in each decode after a release (a slow decoder moves the test's clock on).
    std::function<void()> duringDecode;

    // What happened.
    std::vector<Opened> opens() const;
    std::vector<std::vector<uint8_t>> inputs() const;
    std::atomic<int> decodes{0};
    std::atomic<int> closes{0};
    std::atomic<bool> threadStarted{false};
    std::atomic<bool> threadEnded{false};
    void threadStarting() override { threadStarted = true; }
    void threadEnding() override { threadEnded = true; }

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool held_ = false;
    std::atomic<bool> open_{false};
    std::vector<Opened> opens_;
    std::vector<std::vector<uint8_t>> inputs_;
    StreamColour outputColour_;
    std::optional<int64_t> behind_;  // the picture kept back (oneBehind)
};

// Models the renderer's pictures: the decoder hands a picture over (hold, as the real decoder's
// output goes to the renderer), the next present takes it and shows it until a newer one comes or
// the picture is dropped. Pictures are named by their time stamp.
class FakePresenter : public FramePresenter {
  public:
    static constexpr int64_t kBlack = -1;

    void setStream(int32_t width, int32_t height, int32_t fps) override;
    void configArrived(int32_t width, int32_t height) override;
    void setColour(const PictureColour& c) override;
    ColourSpace colour() const;
    void dropPicture() override;
    bool resizePending() const override {
        ++polls;
        return resize.load();
    }
    void present() override;
    PresenterInfo info() const override { return presenterInfo; }
    int takeBltFailures() override { return bltFailures.exchange(0); }
    double monitorRefreshHz() override { return 60.0; }
    // A picture of the stream's size while one is shown.
    std::optional<Bitmap> readPicture() override;

    // The decoder side (video thread).
    void hold(int64_t picture);
    // What the last present showed: a picture's time stamp, or kBlack.
    int64_t shown() const;
    // Holds presents (once entered) until released, so that requests pile up behind one.
    void holdPresents();
    void releasePresents();

    // The window side: a resize asks for a present, which takes it.
    std::atomic<bool> resize{false};
    // How often the present thread looked for a resize: each of its wake-ups does.
    mutable std::atomic<int> polls{0};
    std::atomic<int> presentsEntered{0};
    std::atomic<int> bltFailures{0};
    PresenterInfo presenterInfo;

    std::atomic<int> presents{0};
    std::atomic<int> drops{0};
    std::atomic<int> streamWidth{-1};
    std::atomic<int> streamHeight{-1};
    std::atomic<int> streamFps{-1};
    std::atomic<int> configs{0};
    std::atomic<int> shapedWithoutSize{0};  // window reshapes asked before the stream's size was set

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool presentsHeld_ = false;
    std::optional<int64_t> held_;
    std::optional<int64_t> texture_;
    int64_t shown_ = kBlack;
    ColourSpace colour_;
};

}  // namespace tov::test
