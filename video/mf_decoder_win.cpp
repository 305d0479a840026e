#include "video/mf_decoder_win.h"

#include <codecapi.h>
#include <mfapi.h>
#include <mferror.h>
#include <objbase.h>
#include <strmif.h>
#include <wmcodecdsp.h>

#include <cstring>

#include "core/log.h"
#include "video/thread_name_win.h"
#include "video/video_item.h"

namespace tov {
namespace {

unsigned long hex(HRESULT hr) {
    return static_cast<unsigned long>(static_cast<uint32_t>(hr));
}

HRESULT createHevcTransform(ComPtr<IMFTransform>& out) {
    MFT_REGISTER_TYPE_INFO input{MFMediaType_Video, MFVideoFormat_HEVC};
    IMFActivate** activates = nullptr;
    UINT32 count = 0;
    // Synchronous, local, sorted; hardware and asynchronous transforms are not asked for.
    HRESULT hr = MFTEnumEx(MFT_CATEGORY_VIDEO_DECODER, 0x51, &input, nullptr, &activates, &count);
    if (SUCCEEDED(hr)) {
        hr = count ? activates[0]->ActivateObject(IID_PPV_ARGS(out.ReleaseAndGetAddressOf()))
                   : MF_E_TOPO_CODEC_NOT_FOUND;
        for (UINT32 i = 0; i < count; ++i) activates[i]->Release();
        CoTaskMemFree(activates);
    }
    return hr;
}

// Bytes of an access unit delimiter (with its start code) at the start of a packet, else 0.
size_t leadingDelimiter(const uint8_t* data, size_t size, bool hevc) {
    size_t nal = 0;
    if (size >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 1) {
        nal = 3;
    } else if (size >= 5 && data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1) {
        nal = 4;
    } else {
        return 0;
    }
    const bool delimiter = hevc ? ((data[nal] >> 1) & 0x3F) == 35 : (data[nal] & 0x1F) == 9;
    if (!delimiter) return 0;
    for (size_t i = nal + 1; i + 2 < size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            return data[i - 1] == 0 ? i - 1 : i;
        }
    }
    return 0;  // nothing after it: left as it is
}

}  // namespace

HRESULT createDecoderTransform(int32_t codec, ComPtr<IMFTransform>& out) {
    if (codec == kCodecHevc) return createHevcTransform(out);
    return CoCreateInstance(CLSID_CMSH264DecoderMFT, nullptr, CLSCTX_INPROC_SERVER,
                            IID_PPV_ARGS(out.ReleaseAndGetAddressOf()));
}

MfDecoder::MfDecoder(IMFDXGIDeviceManager* deviceManager, PictureCopy copy,
                     TransformMaker makeTransform)
    : deviceManager_(deviceManager),
      copy_(std::move(copy)),
      makeTransform_(std::move(makeTransform)) {}

MfDecoder::~MfDecoder() {
    close();
}

void MfDecoder::threadStarting() {
    nameThisThread(L"video decode");
    comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    mfStarted_ = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE));
}

void MfDecoder::threadEnding() {
    close();
    if (mfStarted_) MFShutdown();
    if (comStarted_) CoUninitialize();
    mfStarted_ = comStarted_ = false;
}

void MfDecoder::close() {
    transform_.Reset();
    onGpu_ = false;
}

bool MfDecoder::open(int32_t codec, int32_t width, int32_t height, int32_t fps) {
    close();
    codec_ = codec;
    HRESULT hr = makeTransform_(codec, transform_);
    if (FAILED(hr)) {
        logLine("decoder: no %s decoder (0x%08lx)", codecName(codec), hex(hr));
        transform_.Reset();
        return false;
    }
    if (deviceManager_ && configure(Attempt::kGpu, codec, width, height, fps)) return true;

    // The CPU path, on a fresh transform that never saw the device manager.
    transform_.Reset();
    onGpu_ = false;
    hr = makeTransform_(codec, transform_);
    if (FAILED(hr)) {
        logLine("decoder: no %s decoder (0x%08lx)", codecName(codec), hex(hr));
        transform_.Reset();
        return false;
    }
    if (configure(Attempt::kCpu, codec, width, height, fps)) return true;
    transform_.Reset();
    return false;
}

bool MfDecoder::configure(Attempt attempt, int32_t codec, int32_t width, int32_t height,
                          int32_t fps) {
    setLowLatency();
    if (attempt == Attempt::kGpu) {
        ComPtr<IMFAttributes> attributes;
        if (SUCCEEDED(transform_->GetAttributes(&attributes)) && attributes) {
            UINT32 aware = 0;
            if (FAILED(attributes->GetUINT32(MF_SA_D3D11_AWARE, &aware)) || !aware) {
                logLine("decoder: not D3D11 aware");
                return false;
            }
            const HRESULT hr = transform_->ProcessMessage(
                MFT_MESSAGE_SET_D3D_MANAGER, reinterpret_cast<ULONG_PTR>(deviceManager_.Get()));
            if (FAILED(hr)) {
                logLine("decoder: SET_D3D_MANAGER failed 0x%08lx", hex(hr));
                return false;
            }
            onGpu_ = true;
        }
    }
    if (!setInputType(codec, width, height, fps)) return false;
    if (!chooseOutputType()) {
        logLine("decoder: no NV12 output type");
        return false;
    }
    transform_->ProcessMessage(MFT_MESSAGE_NOTIFY_BEGIN_STREAMING, 0);
    transform_->ProcessMessage(MFT_MESSAGE_NOTIFY_START_OF_STREAM, 0);
    logLine("decoder: open %s %dx%d @%d, %s, output %ux%u", codecName(codec), width, height, fps,
            onGpu_ ? "GPU" : "CPU", static_cast<unsigned>(outWidth_),
            static_cast<unsigned>(outHeight_));
    return true;
}

void MfDecoder::setLowLatency() {
    // Both ways: some decoders honour only one of them. Without it pictures come out late.
    ComPtr<ICodecAPI> codecApi;
    // Asked by IID: not every SDK gives ICodecAPI a compiler-known uuid.
    if (SUCCEEDED(transform_->QueryInterface(IID_ICodecAPI,
                                             reinterpret_cast<void**>(codecApi.GetAddressOf())))) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_UI4;
        v.ulVal = 1;
        const HRESULT hr = codecApi->SetValue(&CODECAPI_AVLowLatencyMode, &v);
        logLine("decoder: low-latency mode via ICodecAPI: 0x%08lx", hex(hr));
    }
    ComPtr<IMFAttributes> attributes;
    if (SUCCEEDED(transform_->GetAttributes(&attributes)) && attributes) {
        attributes->SetUINT32(MF_LOW_LATENCY, 1);
    }
}

bool MfDecoder::setInputType(int32_t codec, int32_t width, int32_t height, int32_t fps) {
    ComPtr<IMFMediaType> type;
    HRESULT hr = MFCreateMediaType(&type);
    if (SUCCEEDED(hr)) {
        type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        type->SetGUID(MF_MT_SUBTYPE, codec == kCodecHevc ? MFVideoFormat_HEVC : MFVideoFormat_H264);
        type->SetUINT32(MF_MT_INTERLACE_MODE, MFVideoInterlace_Progressive);
        MFSetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, static_cast<UINT32>(width),
                           static_cast<UINT32>(height));
        MFSetAttributeRatio(type.Get(), MF_MT_FRAME_RATE, static_cast<UINT32>(fps), 1);
        hr = transform_->SetInputType(0, type.Get(), 0);
    }
    if (FAILED(hr)) {
        logLine("decoder: SetInputType %dx%d failed 0x%08lx", width, height, hex(hr));
        return false;
    }
    return true;
}

bool MfDecoder::convertsToBt601() const {
    // Wine's H.264 transform decodes through GStreamer, whose converter hands over BT.601
    // pictures whatever the stream's colours; Windows' own decoder hands them as coded.
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine && codec_ != 1 && transform_;
}

bool MfDecoder::chooseOutputType() {
    for (DWORD i = 0;; ++i) {
        ComPtr<IMFMediaType> type;
        if (FAILED(transform_->GetOutputAvailableType(0, i, &type))) return false;
        GUID subtype{};
        if (FAILED(type->GetGUID(MF_MT_SUBTYPE, &subtype)) || subtype != MFVideoFormat_NV12) {
            continue;
        }
        if (FAILED(transform_->SetOutputType(0, type.Get(), 0))) return false;
        UINT32 w = 0;
        UINT32 h = 0;
        if (SUCCEEDED(MFGetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, &w, &h))) {
            outWidth_ = w;
            outHeight_ = h;
        }
        UINT32 stride = 0;
        outStride_ = SUCCEEDED(type->GetUINT32(MF_MT_DEFAULT_STRIDE, &stride))
                         ? static_cast<int32_t>(stride)
                         : static_cast<int32_t>(outWidth_);
        outputColour_ =
            colourFromMediaType(MFGetAttributeUINT32(type.Get(), MF_MT_YUV_MATRIX, 0),
                                MFGetAttributeUINT32(type.Get(), MF_MT_VIDEO_NOMINAL_RANGE, 0));
        MFT_OUTPUT_STREAM_INFO info{};
        if (SUCCEEDED(transform_->GetOutputStreamInfo(0, &info))) {
            decoderAllocates_ = (info.dwFlags & (MFT_OUTPUT_STREAM_PROVIDES_SAMPLES |
                                                 MFT_OUTPUT_STREAM_CAN_PROVIDE_SAMPLES)) != 0;
            if (info.cbSize != outSampleSize_) outputPool_.clear();
            outSampleSize_ = info.cbSize;
        }
        return true;
    }
}

bool MfDecoder::decode(const uint8_t* data, size_t size, int64_t ptsMicros,
                       const PictureSink& sink) {
    if (!transform_) return false;
    // Access unit delimiters: H.264 NAL type 9 (any picture type), HEVC type 35.
    static const uint8_t kH264Delimiter[] = {0, 0, 0, 1, 0x09, 0xF0};
    static const uint8_t kHevcDelimiter[] = {0, 0, 0, 1, 0x46, 0x01, 0x50};
    const bool hevc = codec_ == kCodecHevc;
    const uint8_t* tail = hevc ? kHevcDelimiter : kH264Delimiter;
    const size_t tailSize = unitEnd_ != UnitEnd::kDelimiter || size == 0 ? 0
                            : hevc                                       ? sizeof kHevcDelimiter
                                                                         : sizeof kH264Delimiter;
    if (tailSize) {
        // A phone that starts each packet with a delimiter of its own: the one after the last
        // packet began this picture already, and two in a row would make an empty one.
        const size_t skip = leadingDelimiter(data, size, hevc);
        data += skip;
        size -= skip;
    }
    ComPtr<IMFMediaBuffer> buffer;
    ComPtr<IMFSample> sample;
    HRESULT hr = MFCreateMemoryBuffer(static_cast<DWORD>(size + tailSize), &buffer);
    BYTE* bytes = nullptr;
    if (SUCCEEDED(hr)) hr = buffer->Lock(&bytes, nullptr, nullptr);
    if (SUCCEEDED(hr)) {
        if (size) std::memcpy(bytes, data, size);
        if (tailSize) std::memcpy(bytes + size, tail, tailSize);
        buffer->Unlock();
        hr = buffer->SetCurrentLength(static_cast<DWORD>(size + tailSize));
    }
    if (SUCCEEDED(hr)) hr = MFCreateSample(&sample);
    if (SUCCEEDED(hr)) hr = sample->AddBuffer(buffer.Get());
    if (SUCCEEDED(hr)) hr = sample->SetSampleTime(ptsMicros * 10);
    if (FAILED(hr)) {
        logLine("decoder: ProcessInput failed 0x%08lx (%zu bytes)", hex(hr), size);
        return false;
    }

    hr = transform_->ProcessInput(0, sample.Get(), 0);
    if (hr == MF_E_NOTACCEPTING) {
        // The decoder still holds pictures: take them out, then it takes the input.
        if (!drain(sink)) return false;
        hr = transform_->ProcessInput(0, sample.Get(), 0);
    }
    if (FAILED(hr)) {
        logLine("decoder: ProcessInput failed 0x%08lx (%zu bytes)", hex(hr), size);
        return false;
    }
    if (unitEnd_ == UnitEnd::kDrain) {
        if (!drain(sink)) return false;
        transform_->ProcessMessage(MFT_MESSAGE_COMMAND_DRAIN, 0);
    }
    return drain(sink);
}

bool MfDecoder::finish(const PictureSink& sink) {
    if (!transform_) return false;
    // An end-of-stream unit tells a decoder that holds pictures back (frame threading) that no
    // more will follow; the drain command alone does not move every decoder.
    static const uint8_t kH264End[] = {0, 0, 0, 1, 0x0B};
    static const uint8_t kHevcEnd[] = {0, 0, 0, 1, 0x4A, 0x01};
    const bool hevc = codec_ == kCodecHevc;
    if (!decode(hevc ? kHevcEnd : kH264End, hevc ? sizeof kHevcEnd : sizeof kH264End, 0, sink)) {
        return false;
    }
    const HRESULT hr = transform_->ProcessMessage(MFT_MESSAGE_COMMAND_DRAIN, 0);
    if (FAILED(hr)) {
        logLine("decoder: drain failed 0x%08lx", hex(hr));
        return false;
    }
    return drain(sink);
}

ComPtr<IMFSample> MfDecoder::outputSample() {
    // A picture of a phone's size is megabytes: allocating (and under Wine zeroing) one for every
    // picture costs more than keeping a few. The renderer holds one until it has copied it, the
    // present thread may be copying another and keeps the last one copied for screenshots.
    constexpr size_t kKept = 6;
    for (const ComPtr<IMFSample>& kept : outputPool_) {
        // Only the pool holds it: nobody reads it any more.
        kept.Get()->AddRef();
        if (kept.Get()->Release() == 1) return kept;
    }
    ComPtr<IMFSample> sample;
    ComPtr<IMFMediaBuffer> buffer;
    if (FAILED(MFCreateSample(&sample)) || FAILED(MFCreateMemoryBuffer(outSampleSize_, &buffer)) ||
        FAILED(sample->AddBuffer(buffer.Get()))) {
        return nullptr;
    }
    if (outputPool_.size() < kKept) outputPool_.push_back(sample);
    return sample;
}

bool MfDecoder::drain(const PictureSink& sink) {
    // A decoder that keeps announcing stream changes would otherwise hold the video thread.
    constexpr int kMaxStreamChanges = 8;
    int streamChanges = 0;
    for (;;) {
        MFT_OUTPUT_DATA_BUFFER output{};
        output.dwStreamID = 0;
        ComPtr<IMFSample> own;
        if (!decoderAllocates_) {
            own = outputSample();
            if (!own) {
                logLine("decoder: ProcessOutput failed 0x%08lx", hex(E_OUTOFMEMORY));
                return false;
            }
            output.pSample = own.Get();
        }
        DWORD status = 0;
        const HRESULT hr = transform_->ProcessOutput(0, 1, &output, &status);
        if (output.pEvents) output.pEvents->Release();
        // A sample the decoder made is ours to release; our own sample is held by `own`.
        ComPtr<IMFSample> produced;
        if (output.pSample && output.pSample != own.Get()) produced.Attach(output.pSample);

        if (hr == MF_E_TRANSFORM_NEED_MORE_INPUT) return true;
        if (hr == MF_E_TRANSFORM_STREAM_CHANGE) {
            if (++streamChanges > kMaxStreamChanges || !chooseOutputType()) {
                logLine("decoder: no NV12 output type");
                return false;
            }
            logLine("decoder: stream change, output now %ux%u", static_cast<unsigned>(outWidth_),
                    static_cast<unsigned>(outHeight_));
            continue;
        }
        if (FAILED(hr)) {
            logLine("decoder: ProcessOutput failed 0x%08lx", hex(hr));
            return false;
        }
        IMFSample* picture = produced ? produced.Get() : own.Get();
        if (!picture) return true;
        if (copy_) copy_(picture);
        LONGLONG time = 0;
        const bool timeKnown = SUCCEEDED(picture->GetSampleTime(&time));
        sink(timeKnown, timeKnown ? time / 10 : 0);
    }
}

}  // namespace tov
