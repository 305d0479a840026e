// What the video thread needs of a decoder. The Media Foundation decoder is the real one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "video/colour_space.h"

namespace tov {

class FrameDecoder {
  public:
    virtual ~FrameDecoder() = default;

    // Called on the video thread when it starts and right before it ends (after close), for
    // per-thread set-up such as COM and Media Foundation.
    virtual void threadStarting() {}
    virtual void threadEnding() {}

    virtual bool open(int32_t codec, int32_t width, int32_t height, int32_t fps) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool onGpu() const = 0;
    // What the decoder's output type tells of the pictures' colours (often nothing).
    virtual StreamColour outputColour() const { return {}; }
    // The decoder converts every picture to BT.601 itself (pictureColourAfterBt601Decoder).
    virtual bool convertsToBt601() const { return false; }

    // Receives each picture that comes out, in order: its time in microseconds, when the decoder
    // told it. The picture itself has already gone to the renderer.
    using PictureSink = std::function<void(bool timeKnown, int64_t timeMicros)>;
    // Feeds one packet; false when the decoder failed (the caller reopens it).
    virtual bool decode(const uint8_t* data, size_t size, int64_t ptsMicros,
                        const PictureSink& sink) = 0;
};

}  // namespace tov
