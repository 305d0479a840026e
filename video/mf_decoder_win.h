// The Media Foundation decoder transform: H.264 or HEVC in, NV12 pictures out, on the GPU when the
// transform takes the Direct3D device manager, else on the CPU.
#pragma once

#include <mfidl.h>
#include <mftransform.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/win/com_ptr.h"
#include "video/frame_decoder.h"

namespace tov {

// Creates the decoder transform for a codec (1 HEVC, else H.264). HEVC comes from the installed
// synchronous software or local transforms; an empty list is MF_E_TOPO_CODEC_NOT_FOUND.
HRESULT createDecoderTransform(int32_t codec, ComPtr<IMFTransform>& out);

class MfDecoder : public FrameDecoder {
  public:
    // Receives each output sample before the pipeline hears of the picture (the renderer copies
    // it). The device manager may be null: the decoder then always runs on the CPU.
    using PictureCopy = std::function<void(IMFSample* sample)>;
    // Makes the transform for a codec; createDecoderTransform unless a test stands one in.
    using TransformMaker = std::function<HRESULT(int32_t codec, ComPtr<IMFTransform>& out)>;
    MfDecoder(IMFDXGIDeviceManager* deviceManager, PictureCopy copy,
              TransformMaker makeTransform = createDecoderTransform);
    ~MfDecoder() override;

    void threadStarting() override;
    void threadEnding() override;
    bool open(int32_t codec, int32_t width, int32_t height, int32_t fps) override;
    void close() override;
    bool isOpen() const override { return transform_ != nullptr; }
    bool onGpu() const override { return onGpu_; }
    StreamColour outputColour() const override { return outputColour_; }
    bool convertsToBt601() const override;
    bool decode(const uint8_t* data, size_t size, int64_t ptsMicros,
                const PictureSink& sink) override;

    // End of a stream: takes out the pictures the decoder still holds (some decoders keep one
    // back even in low-latency mode).
    bool finish(const PictureSink& sink);

    // How a packet is told to be a whole picture, so that a decoder that finds the end of a
    // picture only at the start of the next one gives it out at once.
    enum class UnitEnd {
        kNone,       // the packet as it came
        kDelimiter,  // an access unit delimiter after it: the next picture has begun
        kDrain,      // a drain command after it
    };
    void setUnitEnd(UnitEnd way) { unitEnd_ = way; }

    // The chosen NV12 output type: may exceed the stream size by the decoder's alignment.
    uint32_t outWidth() const { return outWidth_; }
    uint32_t outHeight() const { return outHeight_; }
    int32_t outStride() const { return outStride_; }

  private:
    enum class Attempt { kGpu, kCpu };
    // Steps after creation: low latency, types, streaming. False means "try the CPU" (GPU) or
    // "give up" (CPU).
    bool configure(Attempt attempt, int32_t codec, int32_t width, int32_t height, int32_t fps);
    void setLowLatency();
    bool setInputType(int32_t codec, int32_t width, int32_t height, int32_t fps);
    bool chooseOutputType();
    bool drain(const PictureSink& sink);
    // A sample for the decoder to write a picture into: one of a few kept for reuse that no one
    // else holds any more, else a new one.
    ComPtr<IMFSample> outputSample();

    ComPtr<IMFDXGIDeviceManager> deviceManager_;
    PictureCopy copy_;
    TransformMaker makeTransform_;
    ComPtr<IMFTransform> transform_;
    int32_t codec_ = 0;
    bool onGpu_ = false;
    uint32_t outWidth_ = 0;
    uint32_t outHeight_ = 0;
    int32_t outStride_ = 0;
    StreamColour outputColour_;
    bool decoderAllocates_ = false;
    uint32_t outSampleSize_ = 0;
    std::vector<ComPtr<IMFSample>> outputPool_;
    UnitEnd unitEnd_ = UnitEnd::kDelimiter;
    bool comStarted_ = false;
    bool mfStarted_ = false;
};

}  // namespace tov
