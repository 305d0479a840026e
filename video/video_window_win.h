// The video window (class TovenmarVideo): its Direct3D device, decoder, renderer and frame
// pipeline, and the window behaviours that do not depend on input. Mouse and key messages go out
// through callbacks; translating them is the input side's business.
#pragma once

#include <windows.h>
// After windows.h, which WIN32_LEAN_AND_MEAN keeps from bringing it.
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/user_placement_win.h"
#include "video/fit_math.h"
#include "video/video_pipeline.h"
#include "video/window_layout.h"

namespace tov {

class MfDecoder;
class VideoRenderer;
struct VideoDevice;

struct VideoWindowCallbacks {
    // From the video thread.
    std::function<void()> keyFrameWanted;
    std::function<bool(int64_t phoneMicros, int64_t* pcMicros)> phoneToPc;
    // From the window thread.
    std::function<void()> closed;
    // A key message the window did not use itself; true when it was consumed.
    std::function<bool(bool down, unsigned virtualKey, int64_t lParam)> key;
    std::function<void()> focusLost;
    // Mouse messages, WM_INPUT, WM_SETCURSOR, WM_MOVE, WM_SIZE and WM_KILLFOCUS as they arrive.
    // True when the input side handled the message (for WM_SETCURSOR: it hid the cursor); false
    // lets the window do its own default (a double click toggles fullscreen).
    std::function<bool(uint32_t message, uint64_t wParam, int64_t lParam)> mouse;
    // Files dropped on the window from Explorer, full paths in the order given.
    std::function<void(std::vector<std::wstring> paths)> filesDropped;
    // Where the window goes when it takes a picture's shape. `request` holds the work area, the
    // frame and this window's wish as its one phone; the owner adds the panel (and other phones'
    // windows), moves those as the layout says, and returns this window's rectangle. Unset:
    // this window alone on the work area.
    std::function<Rect(LayoutRequest request)> arrange;
    // Window thread: the window was hidden (its phone stopped, or the user closed it), so the
    // room it took is free for the others.
    std::function<void()> hidden;
};

class VideoWindow {
  public:
    // The private message that reshapes the window to (wParam, lParam).
    static constexpr UINT kReshapeMessage = WM_APP + 1;
    // The same for the phone's screen size, dropped if a stream's size is known by the time it is
    // handled: the stream's shape, asked for from another thread, may have come first.
    static constexpr UINT kPhoneShapeMessage = WM_APP + 2;
    // Lay the window out again at its shape, if it is still shown.
    static constexpr UINT kLayOutAgainMessage = WM_APP + 3;

    explicit VideoWindow(VideoWindowCallbacks callbacks);
    ~VideoWindow();
    VideoWindow(const VideoWindow&) = delete;
    VideoWindow& operator=(const VideoWindow&) = delete;

    // Window thread, once. Hidden until show(true). On failure errorText says why.
    // Before create: the stream's name for its log lines and timing file (see VideoPipeline).
    void setStreamName(const std::string& name) { streamName_ = name; }
    bool create(HINSTANCE instance, std::wstring& errorText);
    // Stops the video thread, then destroys the window.
    void destroy();

    void show(bool visible);
    void setOnTop(bool onTop);
    void toggleFullscreen();
    bool isFullscreen() const { return fullscreen_; }
    // The phone's screen size as its input helper reports it (any thread).
    void setExpectedSize(int32_t width, int32_t height);
    Size expectedSize() const;
    // The stream's picture size, 0 x 0 without a stream (any thread).
    Size streamSize() const;
    HWND window() const { return window_; }
    bool hevcUsable() const { return hevcUsable_; }

    // The stream session's video callbacks (session thread) and the reset (any thread).
    void onConfig(int32_t width, int32_t height, int32_t fps, int32_t codec, const uint8_t* csd,
                  size_t csdLength);
    void onPacket(const uint8_t* data, size_t size, int64_t pts, bool key);
    void reset();
    // Any thread: opens the decoder ahead of a coming stream (codec < 0: none is coming).
    void expectStream(int32_t codec, int32_t width, int32_t height);
    VideoSnapshot snapshot() const;
    // Any thread: the picture on screen at the stream's size, handed to `done` on the video
    // thread; nothing when none is shown.
    void grabPicture(VideoPipeline::PictureHandler done);

    // Window thread: the client area takes the stream's shape on this monitor, where the layout
    // puts it.
    void fitToShape(int32_t width, int32_t height);
    // Window thread: the picture shape the window last took; 0 x 0 before any.
    Size shape() const { return shape_; }
    // Lays this window out again with the others, once its thread gets to it (any thread).
    void layOutAgain();
    // Window thread: moves the window to a window rectangle of the screen as the program's own
    // move (a window the user placed stays marked so); nothing in fullscreen.
    void placeAt(Rect window);
    // Any thread: the window rectangle the user moved or sized the window to, if they did.
    std::optional<Rect> userPlacement() const;
    // Any thread: a placement of the user's kept from before (settings), which the next layout
    // keeps; nothing forgets it.
    void setUserPlacement(std::optional<Rect> window);

    // For tests of the drawing: the renderer, used only while the video thread is stopped.
    VideoRenderer* renderer() { return renderer_.get(); }
    void stopVideoThread();

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleKey(UINT message, WPARAM wParam, LPARAM lParam);
    bool forwardMouse(UINT message, WPARAM wParam, LPARAM lParam);
    Size frameSize() const;
    void filesDropped(HDROP drop);

    VideoWindowCallbacks callbacks_;
    HWND window_ = nullptr;
    std::unique_ptr<VideoDevice> device_;
    std::unique_ptr<VideoRenderer> renderer_;
    std::unique_ptr<MfDecoder> decoder_;
    std::unique_ptr<VideoPipeline> pipeline_;
    std::string streamName_;
    bool hevcUsable_ = false;
    bool fullscreen_ = false;
    Size shape_;  // the picture shape the window last took (window thread)
    WINDOWPLACEMENT savedPlacement_{};
    mutable std::mutex expectedMutex_;
    Size expected_;
    UserPlacement placementTracker_;
    mutable std::mutex placementMutex_;
    std::optional<Rect> userPlacement_;
};

}  // namespace tov
