// Shows decoded pictures in the video window: keeps a copy of the last picture, fits it whole
// into the back buffer with black bars, and presents without waiting for the vertical blank.
#pragma once

#include <mfobjects.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/log.h"
#include "video/fit_math.h"
#include "video/frame_presenter.h"
#include "video/picture_converter_win.h"
#include "video/video_device_win.h"

namespace tov {

class VideoRenderer : public FramePresenter {
  public:
    // `requestShape` asks the window (from the video thread) to take a stream's shape.
    VideoRenderer(VideoDevice& device, std::function<void(int32_t, int32_t)> requestShape);
    ~VideoRenderer() override;

    // The decoder's output sample (video thread). outWidth/outHeight/outStride describe CPU
    // pictures; GPU pictures bring their own size.
    void copyPicture(IMFSample* sample, uint32_t outWidth, uint32_t outHeight, int32_t outStride);
    // The same, left for the next present to copy (decoder thread): the decoder goes on with the
    // next packet while the present thread uploads and shows; a newer picture replaces one not
    // yet shown.
    void holdPicture(IMFSample* sample, uint32_t outWidth, uint32_t outHeight, int32_t outStride);
    // WM_SIZE (window thread): the next present rebuilds the back buffer.
    void requestResize() { resizePending_.store(true); }
    // Before the first present: names the window's stream in the back buffer's log line.
    void setStreamName(const std::string& name) { tag_ = logTag("render", name); }
    // Everything of present() except showing the result: the back buffer holds the frame.
    void drawFrame();
    // The size the input side maps mouse positions with (any thread).
    Size streamSize() const { return {streamWidth_.load(), streamHeight_.load()}; }
    bool hasPicture() const { return hasPicture_; }
    // Which conversion the pictures go through, "" before the first picture.
    const char* pathName() const { return converter_ ? converter_->name() : ""; }
    // Tests: pictures go through this converter from now on, and no other is tried.
    void useConverterForTest(std::unique_ptr<PictureConverter> converter) {
        converter_ = std::move(converter);
        shaderOnly_ = shaderBroken_ = true;
        hasPicture_ = false;
    }

    void presentThreadStarting() override;
    void setStream(int32_t width, int32_t height, int32_t fps) override;
    void configArrived(int32_t width, int32_t height) override;
    void setColour(const PictureColour& colour) override;
    void dropPicture() override;
    bool resizePending() const override { return resizePending_.load(); }
    void present() override;
    int64_t lastUploadMicros() const override { return lastUploadMicros_; }
    int64_t lastDrawMicros() const override { return lastDrawMicros_; }
    PresenterInfo info() const override;
    int takeBltFailures() override;
    double monitorRefreshHz() override;
    std::optional<Bitmap> readPicture() override;

  private:
    bool ensureConverter(uint32_t width, uint32_t height);
    // ensureConverter, forgetting the held picture when its surface is new.
    bool ensureInputFor(uint32_t width, uint32_t height);
    bool useShader();
    void prepareBackBuffer();
    void copyHeldPicture();
    PictureColour colour();

    struct HeldPicture {
        ComPtr<IMFSample> sample;
        uint32_t width = 0;
        uint32_t height = 0;
        int32_t stride = 0;
        bool black = false;  // instead of a picture: what was shown is dropped
    };
    std::mutex heldMutex_;
    HeldPicture held_;
    // The picture last copied in (present thread): a grab copies it again at its full size when
    // the window shows it reduced.
    HeldPicture lastCopied_;
    bool fullSizeCopy_ = false;

    VideoDevice& device_;
    std::function<void(int32_t, int32_t)> requestShape_;
    std::unique_ptr<PictureConverter> converter_;
    bool shaderOnly_ = false;
    bool shaderBroken_ = false;
    ComPtr<ID3D11RenderTargetView> renderTarget_;
    std::atomic<uint32_t> backWidth_{0};
    std::atomic<uint32_t> backHeight_{0};
    std::atomic<int32_t> streamWidth_{0};
    std::atomic<int32_t> streamHeight_{0};
    int32_t fps_ = 60;
    std::atomic<bool> hasPicture_{false};
    std::atomic<bool> resizePending_{false};
    std::string tag_ = "render";
    std::mutex colourMutex_;
    PictureColour colour_ = pictureColour({});
    // Read by the video thread's statistics while the present thread writes them.
    std::atomic<int> bltFailures_{0};
    std::atomic<int64_t> lastUploadMicros_{0};
    std::atomic<int64_t> lastDrawMicros_{0};
    std::atomic<HRESULT> lastBltResult_{S_OK};
    std::atomic<uint32_t> inputWidth_{0};
    std::atomic<uint32_t> inputHeight_{0};
    ReshapeTracker reshape_;
};

}  // namespace tov
