// What the video thread needs of the renderer. The Direct3D 11 renderer is the real one.
#pragma once

#include <cstdint>
#include <optional>

#include "core/bitmap.h"
#include "video/colour_space.h"

namespace tov {

struct PresenterInfo {
    uint32_t textureWidth = 0;
    uint32_t textureHeight = 0;
    uint32_t backWidth = 0;
    uint32_t backHeight = 0;
    uint32_t lastBltResult = 0;
};

class FramePresenter {
  public:
    virtual ~FramePresenter() = default;

    // Called on the present thread when it starts, for per-thread set-up.
    virtual void presentThreadStarting() {}

    // The stream size and rate of the current config; 0 x 0 after a reset.
    virtual void setStream(int32_t width, int32_t height, int32_t fps) = 0;
    // How the pictures from now on are converted to RGB.
    virtual void setColour(const PictureColour& colour) = 0;
    // Called on every config before setStream: the window may take the stream's shape.
    virtual void configArrived(int32_t width, int32_t height) = 0;
    // Video thread, at a reset: the pictures handed over so far belong to the stream that
    // ended. The next present shows black, unless a newer picture is handed over before it.
    virtual void dropPicture() = 0;
    // The window was resized and wants a present (peeked; present takes it).
    virtual bool resizePending() const = 0;
    // Draws the held picture fitted with black bars (or black) and shows it.
    virtual void present() = 0;
    // Microseconds the last present spent copying the picture in and drawing it (converting and
    // scaling) before showing, for the timing breakdown; 0 when not measured.
    virtual int64_t lastUploadMicros() const { return 0; }
    virtual int64_t lastDrawMicros() const { return 0; }
    virtual PresenterInfo info() const = 0;
    // Failed blits since the last call.
    virtual int takeBltFailures() = 0;
    // Refresh rate of the monitor in Hz, 0 when unknown.
    virtual double monitorRefreshHz() = 0;
    // The held picture at the stream's own size, as shown (converted, without bars); nothing
    // while no picture is held.
    virtual std::optional<Bitmap> readPicture() = 0;
};

}  // namespace tov
