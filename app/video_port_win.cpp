#include "app/app_parts_win.h"

#include <atomic>
#include <utility>

#include "platform/text.h"
#include "video/video_window_win.h"

namespace tov {

namespace {

class VideoPortWin final : public VideoPort {
  public:
    VideoPortWin(HINSTANCE instance, VideoEvents events)
        : instance_(instance), events_(std::move(events)), window_(windowCallbacks()) {}

    bool create(std::string& errorText) override {
        std::wstring error;
        if (window_.create(instance_, error)) return true;
        errorText = narrow(error);
        return false;
    }
    void destroy() override { window_.destroy(); }
    void show(bool visible) override { window_.show(visible); }
    void setOnTop(bool onTop) override { window_.setOnTop(onTop); }
    bool hevcUsable() const override { return window_.hevcUsable(); }
    void onConfig(int width, int height, int fps, int codec, const uint8_t* csd,
                  size_t csdSize) override {
        window_.onConfig(width, height, fps, codec, csd, csdSize);
    }
    void onPacket(const uint8_t* data, size_t size, int64_t time, bool key) override {
        window_.onPacket(data, size, time, key);
    }
    void reset() override { window_.reset(); }
    VideoStats stats() const override {
        const VideoSnapshot s = window_.snapshot();
        VideoStats out;
        out.shownPerSecond = s.shownPerSecond;
        out.latencyMs = s.latencyMs;
        out.received = static_cast<int32_t>(s.received);
        out.dropped = static_cast<int32_t>(s.dropped);
        out.onGpu = s.onGpu;
        return out;
    }
    bool captured() const override { return false; }
    void setCapturePossible(bool) override {}
    void setPhoneScreen(int width, int height) override { window_.setExpectedSize(width, height); }
    void setDeviceMode(bool deviceMode) override { deviceMode_ = deviceMode; }

  private:
    VideoWindowCallbacks windowCallbacks() {
        VideoWindowCallbacks cb;
        cb.keyFrameWanted = [this] {
            if (events_.keyframeWanted) events_.keyframeWanted();
        };
        cb.phoneToPc = [this](int64_t t, int64_t* out) {
            return events_.phoneToPc && events_.phoneToPc(t, out);
        };
        cb.closed = [this] {
            if (events_.closed) events_.closed();
        };
        cb.key = [this](bool down, unsigned vk, int64_t lParam) {
            return events_.key && events_.key(down, vk, lParam);
        };
        cb.focusLost = [this] {
            if (events_.focusLost) events_.focusLost();
        };
        return cb;
    }

    HINSTANCE instance_;
    VideoEvents events_;
    std::atomic<bool> deviceMode_{false};
    VideoWindow window_;
};

}  // namespace

std::unique_ptr<VideoPort> makeVideoPortWin(HINSTANCE instance, VideoEvents events) {
    return std::make_unique<VideoPortWin>(instance, std::move(events));
}

}  // namespace tov
