// A decoder and a presenter that record what the video thread asks of them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
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
};

class FakePresenter : public FramePresenter {
  public:
    void setStream(int32_t width, int32_t height, int32_t fps) override;
    void configArrived(int32_t width, int32_t height) override;
    void dropPicture() override { ++drops; }
    bool resizePending() const override { return resize.load(); }
    void present() override;
    PresenterInfo info() const override { return presenterInfo; }
    int takeBltFailures() override { return bltFailures.exchange(0); }
    double monitorRefreshHz() override { return 60.0; }
    // A picture of the stream's size while one is held (no drop since the last present).
    std::optional<Bitmap> readPicture() override;

    // The window side: a resize asks for a present, which takes it.
    std::atomic<bool> resize{false};
    std::atomic<int> bltFailures{0};
    PresenterInfo presenterInfo;

    std::atomic<int> presents{0};
    std::atomic<int> drops{0};
    std::atomic<int> streamWidth{-1};
    std::atomic<int> streamHeight{-1};
    std::atomic<int> streamFps{-1};
    std::atomic<int> configs{0};
};

}  // namespace tov::test
