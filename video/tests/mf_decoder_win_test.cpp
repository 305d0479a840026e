#include "video/mf_decoder_win.h"

#include <d3d11.h>
#include <gtest/gtest.h>
#include <mfapi.h>
#include <mferror.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "platform/files.h"
#include "tests/support/test_support.h"
#include "video/tests/annexb_units.h"

namespace tov {
namespace {

// The blocks clip (video/tests/data/make-test-clips.sh): flat 80 x 80 luma blocks, 4 across and
// 8 down, at levels that change with every picture.
int blockLevel(int picture, int bx, int by) {
    return 16 + (37 * (bx + 4 * by) + 11 * picture) % 220;
}

std::string readClip(const char* relative) {
    std::string clip;
    EXPECT_TRUE(readFile(test::sourceFile(relative), clip)) << relative;
    return clip;
}

struct Picture {
    int64_t time = 0;
    bool timeKnown = false;
    std::vector<uint8_t> luma;  // 320 x 640, tightly packed
};

class MfDecoderTest : public ::testing::Test {
  protected:
    MfDecoderTest() {
        openLog();
        stream = test::splitH264(readClip("tests/media/phone_h264_320x640.h264"), false);
        decoder.threadStarting();
    }
    ~MfDecoderTest() override { decoder.threadEnding(); }

    std::string log() {
        std::string s;
        readFile(dir.path() + L"\\Tovenmar\\tovenmar.log", s);
        return s;
    }

    // Keeps the luma of each picture the decoder hands out, read with the decoder's own stride.
    void copyLuma(IMFSample* sample) {
        ComPtr<IMFMediaBuffer> buffer;
        ASSERT_TRUE(SUCCEEDED(sample->ConvertToContiguousBuffer(&buffer)));
        BYTE* data = nullptr;
        DWORD length = 0;
        ASSERT_TRUE(SUCCEEDED(buffer->Lock(&data, nullptr, &length)));
        const auto stride = static_cast<size_t>(decoder.outStride());
        std::vector<uint8_t> luma;
        if (length >= stride * decoder.outHeight() && stride >= 320) {
            for (size_t y = 0; y < 640; ++y) {
                luma.insert(luma.end(), data + y * stride, data + y * stride + 320);
            }
        }
        buffer->Unlock();
        pending = std::move(luma);
    }

    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    test::SplitStream stream;
    std::vector<uint8_t> pending;
    MfDecoder decoder{nullptr, [this](IMFSample* s) { copyLuma(s); }};
};

// Each picture comes out while its own packet is fed, with its own time: a decoder that waits for
// the next picture's start to end this one (Wine's) is told the packet is whole. Also when the
// phone starts each packet with a delimiter of its own.
TEST_F(MfDecoderTest, DecodesEveryPictureOfThePhoneClipAtItsSizeWithItsOwnPacket) {
    ASSERT_EQ(stream.units.size(), 90u);
    for (const bool phoneDelimits : {false, true}) {
        SCOPED_TRACE(phoneDelimits ? "packets with delimiters" : "packets as encoded");
        ASSERT_TRUE(decoder.open(0, 320, 640, 30));
        EXPECT_TRUE(decoder.isOpen());
        EXPECT_FALSE(decoder.onGpu());  // no device manager given
        EXPECT_EQ(decoder.outWidth(), 320u);
        EXPECT_GE(decoder.outHeight(), 640u);  // the decoder may align the height

        std::vector<Picture> pictures;
        for (size_t i = 0; i < stream.units.size(); ++i) {
            std::vector<uint8_t> unit = stream.units[i].bytes;
            if (phoneDelimits) unit.insert(unit.begin(), {0, 0, 0, 1, 0x09, 0xF0});
            const int64_t pts = 1000000 + static_cast<int64_t>(i) * 33333;
            ASSERT_TRUE(
                decoder.decode(unit.data(), unit.size(), pts,
                               [&](bool timeKnown, int64_t time) {
                                   pictures.push_back({time, timeKnown, std::move(pending)});
                               }))
                << "packet " << i;
            ASSERT_EQ(pictures.size(), i + 1) << "packet " << i;
            ASSERT_TRUE(pictures[i].timeKnown);
            EXPECT_EQ(pictures[i].time, pts) << i;
        }
        ASSERT_TRUE(decoder.finish([&](bool, int64_t) { pictures.push_back({}); }));
        EXPECT_EQ(pictures.size(), 90u);  // nothing was left behind
        EXPECT_EQ(pictures[45].luma.size(), 320u * 640u);
    }

    const std::string text = log();
    EXPECT_NE(text.find("decoder: open H.264 320x640 @30, CPU, output 320x"), std::string::npos)
        << text;
}

TEST_F(MfDecoderTest, KnownPicturesComeOutWithTheirLumaWithCsdInFrontOfKeyFrames) {
    // As the pipeline feeds it: parameter sets from the config, put in front of key frames only.
    const test::SplitStream blocks =
        test::splitH264(readClip("video/tests/data/blocks_h264_320x640.h264"), true);
    ASSERT_EQ(blocks.units.size(), 30u);
    ASSERT_TRUE(decoder.open(0, 320, 640, 30));
    std::vector<std::vector<uint8_t>> lumas;
    auto keep = [&](bool, int64_t) { lumas.push_back(std::move(pending)); };
    for (size_t i = 0; i < blocks.units.size(); ++i) {
        std::vector<uint8_t> bytes = blocks.units[i].bytes;
        if (blocks.units[i].key) bytes.insert(bytes.begin(), blocks.csd.begin(), blocks.csd.end());
        ASSERT_TRUE(decoder.decode(bytes.data(), bytes.size(), static_cast<int64_t>(i), keep));
    }
    ASSERT_TRUE(decoder.finish(keep));
    ASSERT_EQ(lumas.size(), 30u);
    for (int picture = 0; picture < 30; ++picture) {
        const std::vector<uint8_t>& luma = lumas[picture];
        ASSERT_EQ(luma.size(), 320u * 640u) << picture;
        for (int by = 0; by < 8; ++by) {
            for (int bx = 0; bx < 4; ++bx) {
                double sum = 0;
                for (int y = by * 80; y < by * 80 + 80; ++y) {
                    for (int x = bx * 80; x < bx * 80 + 80; ++x) sum += luma[y * 320 + x];
                }
                EXPECT_NEAR(sum / 6400.0, blockLevel(picture, bx, by), 1.0)
                    << "picture " << picture << " block " << bx << "," << by;
            }
        }
    }
}

// A decoder transform that follows a script: NV12 pictures of 320 x 640 (offered after an I420
// type), one per input, until the input numbered `changeAt`; its output then reports
// MF_E_TRANSFORM_STREAM_CHANGE and offers 640 x 368 instead, and it produces nothing until that
// type is set. Buffers it is given must hold a whole picture of the type set.
class ScriptedTransform final : public IMFTransform {
  public:
    explicit ScriptedTransform(int changeAt) : changeAt_(changeAt) {}

    // What the decoder did with it.
    std::vector<std::pair<UINT32, UINT32>> outputTypesSet;
    int inputs = 0;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IMFTransform) {
            *out = static_cast<IMFTransform*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP GetStreamLimits(DWORD*, DWORD*, DWORD*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetStreamCount(DWORD*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetStreamIDs(DWORD, DWORD*, DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetInputStreamInfo(DWORD, MFT_INPUT_STREAM_INFO*) override { return E_NOTIMPL; }
    STDMETHODIMP GetOutputStreamInfo(DWORD, MFT_OUTPUT_STREAM_INFO* info) override {
        *info = {};
        info->cbSize = pictureBytes(setWidth_, setHeight_);
        return S_OK;
    }
    STDMETHODIMP GetAttributes(IMFAttributes**) override { return E_NOTIMPL; }
    STDMETHODIMP GetInputStreamAttributes(DWORD, IMFAttributes**) override { return E_NOTIMPL; }
    STDMETHODIMP GetOutputStreamAttributes(DWORD, IMFAttributes**) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteInputStream(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP AddInputStreams(DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetInputAvailableType(DWORD, DWORD, IMFMediaType**) override { return E_NOTIMPL; }
    STDMETHODIMP GetOutputAvailableType(DWORD, DWORD index, IMFMediaType** out) override {
        if (index > 1) return MF_E_NO_MORE_TYPES;
        ComPtr<IMFMediaType> type;
        if (FAILED(MFCreateMediaType(&type))) return E_OUTOFMEMORY;
        type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        type->SetGUID(MF_MT_SUBTYPE, index == 0 ? MFVideoFormat_I420 : MFVideoFormat_NV12);
        MFSetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, width_, height_);
        type->SetUINT32(MF_MT_DEFAULT_STRIDE, width_);
        *out = type.Detach();
        return S_OK;
    }
    STDMETHODIMP SetInputType(DWORD, IMFMediaType*, DWORD) override { return S_OK; }
    STDMETHODIMP SetOutputType(DWORD, IMFMediaType* type, DWORD) override {
        GUID subtype{};
        UINT32 w = 0;
        UINT32 h = 0;
        if (FAILED(type->GetGUID(MF_MT_SUBTYPE, &subtype)) || subtype != MFVideoFormat_NV12 ||
            FAILED(MFGetAttributeSize(type, MF_MT_FRAME_SIZE, &w, &h)) || w != width_ ||
            h != height_) {
            return MF_E_INVALIDMEDIATYPE;
        }
        setWidth_ = w;
        setHeight_ = h;
        outputTypesSet.emplace_back(w, h);
        return S_OK;
    }
    STDMETHODIMP GetInputCurrentType(DWORD, IMFMediaType**) override { return E_NOTIMPL; }
    STDMETHODIMP GetOutputCurrentType(DWORD, IMFMediaType**) override { return E_NOTIMPL; }
    STDMETHODIMP GetInputStatus(DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetOutputStatus(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetOutputBounds(LONGLONG, LONGLONG) override { return E_NOTIMPL; }
    STDMETHODIMP ProcessEvent(DWORD, IMFMediaEvent*) override { return E_NOTIMPL; }
    STDMETHODIMP ProcessMessage(MFT_MESSAGE_TYPE, ULONG_PTR) override { return S_OK; }

    STDMETHODIMP ProcessInput(DWORD, IMFSample* sample, DWORD) override {
        if (pending_) return MF_E_NOTACCEPTING;
        pending_ = true;
        sample->GetSampleTime(&time_);
        if (++inputs == changeAt_) changePending_ = true;
        return S_OK;
    }
    STDMETHODIMP ProcessOutput(DWORD, DWORD count, MFT_OUTPUT_DATA_BUFFER* out,
                               DWORD* status) override {
        *status = 0;
        if (!pending_) return MF_E_TRANSFORM_NEED_MORE_INPUT;
        if (changePending_) {
            changePending_ = false;
            width_ = 640;
            height_ = 368;
            setWidth_ = setHeight_ = 0;
            out[0].dwStatus = MFT_OUTPUT_DATA_BUFFER_FORMAT_CHANGE;
            return MF_E_TRANSFORM_STREAM_CHANGE;
        }
        if (setWidth_ != width_ || setHeight_ != height_) return MF_E_TRANSFORM_TYPE_NOT_SET;
        if (count != 1 || !out[0].pSample) return E_POINTER;
        ComPtr<IMFMediaBuffer> buffer;
        BYTE* data = nullptr;
        DWORD capacity = 0;
        if (FAILED(out[0].pSample->GetBufferByIndex(0, &buffer)) ||
            FAILED(buffer->Lock(&data, &capacity, nullptr))) {
            return E_FAIL;
        }
        const DWORD size = pictureBytes(width_, height_);
        if (capacity < size) {
            buffer->Unlock();
            return MF_E_BUFFERTOOSMALL;
        }
        std::memset(data, static_cast<int>(16 + inputs), size);
        buffer->Unlock();
        buffer->SetCurrentLength(size);
        out[0].pSample->SetSampleTime(time_);
        pending_ = false;
        return S_OK;
    }

  private:
    static DWORD pictureBytes(UINT32 w, UINT32 h) { return w * h * 3 / 2; }

    ULONG refs_ = 1;
    const int changeAt_;
    UINT32 width_ = 320;
    UINT32 height_ = 640;
    UINT32 setWidth_ = 0;
    UINT32 setHeight_ = 0;
    bool pending_ = false;
    bool changePending_ = false;
    LONGLONG time_ = 0;
};

// A phone that turns without a new config: the transform announces a stream change, and the
// decoder takes the new NV12 type and goes on, without a reopen, every picture coming out with
// its own packet at the size it was announced with.
TEST_F(MfDecoderTest, AStreamChangeMidStreamSwitchesTheOutputWithoutAReopen) {
    ComPtr<ScriptedTransform> script;
    script.Attach(new ScriptedTransform(4));
    int made = 0;
    struct Seen {
        DWORD length;
        uint8_t level;
        uint32_t width, height;
        int64_t time;
    };
    std::vector<Seen> seen;
    MfDecoder* self = nullptr;
    MfDecoder scripted(
        nullptr,
        [&](IMFSample* sample) {
            ComPtr<IMFMediaBuffer> buffer;
            BYTE* data = nullptr;
            DWORD length = 0;
            ASSERT_TRUE(SUCCEEDED(sample->GetBufferByIndex(0, &buffer)));
            ASSERT_TRUE(SUCCEEDED(buffer->Lock(&data, nullptr, &length)));
            seen.push_back({length, data[0], self->outWidth(), self->outHeight(), 0});
            buffer->Unlock();
        },
        [&](int32_t, ComPtr<IMFTransform>& out) {
            ++made;
            out = script.Get();
            return S_OK;
        });
    self = &scripted;
    ASSERT_TRUE(scripted.open(0, 320, 640, 30));
    const int madeAtOpen = made;
    EXPECT_EQ(scripted.outWidth(), 320u);
    const uint8_t packet[] = {0, 0, 0, 1, 0x65, 0x88};
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(scripted.decode(packet, sizeof packet, 1000 * (i + 1),
                                    [&](bool known, int64_t time) {
                                        ASSERT_TRUE(known);
                                        seen.back().time = time;
                                    }))
            << "packet " << i;
        ASSERT_EQ(seen.size(), static_cast<size_t>(i + 1)) << "packet " << i;
    }
    EXPECT_EQ(made, madeAtOpen);  // never reopened
    EXPECT_EQ(scripted.outWidth(), 640u);
    EXPECT_EQ(scripted.outHeight(), 368u);
    EXPECT_EQ(scripted.outStride(), 640);
    const std::vector<std::pair<UINT32, UINT32>> types = {{320, 640}, {640, 368}};
    EXPECT_EQ(script->outputTypesSet, types);
    for (size_t i = 0; i < seen.size(); ++i) {
        const bool turned = i >= 3;
        EXPECT_EQ(seen[i].length, turned ? 640u * 368u * 3 / 2 : 320u * 640u * 3 / 2) << i;
        EXPECT_EQ(seen[i].width, turned ? 640u : 320u) << i;
        EXPECT_EQ(seen[i].height, turned ? 368u : 640u) << i;
        EXPECT_EQ(static_cast<size_t>(seen[i].level), 16 + i + 1) << i;
        EXPECT_EQ(seen[i].time, 1000 * static_cast<int64_t>(i + 1)) << i;
    }
    const std::string text = log();
    EXPECT_NE(text.find("decoder: open H.264 320x640 @30, CPU, output 320x640"), std::string::npos)
        << text;
    EXPECT_NE(text.find("decoder: stream change, output now 640x368"), std::string::npos) << text;
}

TEST_F(MfDecoderTest, WithADeviceManagerADecoderWithoutGpuSupportFallsBackToTheCpu) {
    ComPtr<ID3D11Device> device;
    ASSERT_TRUE(SUCCEEDED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr,
                                            D3D11_CREATE_DEVICE_BGRA_SUPPORT, nullptr, 0,
                                            D3D11_SDK_VERSION, &device, nullptr, nullptr)));
    UINT token = 0;
    ComPtr<IMFDXGIDeviceManager> manager;
    ASSERT_TRUE(SUCCEEDED(MFCreateDXGIDeviceManager(&token, &manager)));
    ASSERT_TRUE(SUCCEEDED(manager->ResetDevice(device.Get(), token)));
    MfDecoder gpuFirst(manager.Get(), nullptr);
    ASSERT_TRUE(gpuFirst.open(0, 320, 640, 30));
    int pictures = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(gpuFirst.decode(stream.units[i].bytes.data(), stream.units[i].bytes.size(), i,
                                    [&](bool, int64_t) { ++pictures; }));
    }
    EXPECT_GE(pictures, 2);
    if (gpuFirst.onGpu()) return;  // a Windows whose decoder takes the device
    // On the CPU, the log says why, before the decoder opened.
    const std::string text = log();
    size_t why = text.find("decoder: not D3D11 aware");
    if (why == std::string::npos) why = text.find("decoder: SET_D3D_MANAGER failed");
    if (why == std::string::npos) why = text.find("decoder: SetInputType");
    if (why == std::string::npos) why = text.find("decoder: no NV12 output type");
    ASSERT_NE(why, std::string::npos) << text;
    EXPECT_LT(why, text.find("decoder: open H.264 320x640 @30, CPU"));
}

TEST_F(MfDecoderTest, GarbageIsRefusedOrSkippedWithoutCrashing) {
    ASSERT_TRUE(decoder.open(0, 320, 640, 30));
    std::vector<uint8_t> junk(5000);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 7919 >> 3);
    int pictures = 0;
    // Whatever the decoder makes of it, the call returns and reports honestly.
    decoder.decode(junk.data(), junk.size(), 0, [&](bool, int64_t) { ++pictures; });
    decoder.decode(nullptr, 0, 1, [&](bool, int64_t) { ++pictures; });
    EXPECT_EQ(pictures, 0);
    // A real key frame afterwards still decodes (the pipeline would reopen on a failure).
    ASSERT_TRUE(decoder.open(0, 320, 640, 30));
    for (int i = 0; i < 2; ++i) {
        const auto& unit = stream.units[i];
        EXPECT_TRUE(decoder.decode(unit.bytes.data(), unit.bytes.size(), 2 + i,
                                   [&](bool, int64_t) { ++pictures; }));
    }
    ASSERT_TRUE(decoder.finish([&](bool, int64_t) { ++pictures; }));
    EXPECT_EQ(pictures, 2);
}

TEST_F(MfDecoderTest, HevcWithoutAnInstalledDecoderFailsToOpenWithTheCodeLogged) {
    ComPtr<IMFTransform> probe;
    if (SUCCEEDED(createDecoderTransform(1, probe))) {
        GTEST_SKIP() << "this Windows has an HEVC decoder installed";
    }
    EXPECT_FALSE(decoder.open(1, 320, 640, 30));
    EXPECT_FALSE(decoder.isOpen());
    EXPECT_NE(log().find("decoder: no HEVC decoder (0xc00d5212)"), std::string::npos) << log();
}

}  // namespace
}  // namespace tov
