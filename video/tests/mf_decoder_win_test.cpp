#include "video/mf_decoder_win.h"

#include <d3d11.h>
#include <gtest/gtest.h>
#include <mfapi.h>

#include <cstring>
#include <string>
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

TEST_F(MfDecoderTest, DecodesEveryPictureOfThePhoneClipAtItsSize) {
    ASSERT_EQ(stream.units.size(), 90u);
    ASSERT_TRUE(decoder.open(0, 320, 640, 30));
    EXPECT_TRUE(decoder.isOpen());
    EXPECT_FALSE(decoder.onGpu());  // no device manager given
    EXPECT_EQ(decoder.outWidth(), 320u);
    EXPECT_GE(decoder.outHeight(), 640u);  // the decoder may align the height

    std::vector<Picture> pictures;
    for (size_t i = 0; i < stream.units.size(); ++i) {
        const auto& unit = stream.units[i];
        const int64_t pts = 1000000 + static_cast<int64_t>(i) * 33333;
        ASSERT_TRUE(decoder.decode(unit.bytes.data(), unit.bytes.size(), pts,
                                   [&](bool timeKnown, int64_t time) {
                                       pictures.push_back({time, timeKnown, std::move(pending)});
                                   }))
            << "packet " << i;
    }
    // Low latency: each picture comes out with its own packet, or (Wine's decoder) with the next
    // one; the end of the stream takes out whatever is still held.
    EXPECT_GE(pictures.size(), 89u);
    ASSERT_TRUE(decoder.finish([&](bool timeKnown, int64_t time) {
        pictures.push_back({time, timeKnown, std::move(pending)});
    }));
    ASSERT_EQ(pictures.size(), 90u);
    for (size_t i = 0; i < pictures.size(); ++i) {
        ASSERT_TRUE(pictures[i].timeKnown);
        EXPECT_EQ(pictures[i].time, 1000000 + static_cast<int64_t>(i) * 33333) << i;
    }

    EXPECT_EQ(pictures[45].luma.size(), 320u * 640u);

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

// A phone that turns without a new config: the decoder either follows the new size itself
// (Windows' decoder announces a stream change), or fails loudly so that the pipeline reopens it
// (Wine's decoder); it never hands out pictures of a size it did not announce.
TEST_F(MfDecoderTest, NewResolutionMidStreamSwitchesTheOutputOrFailsForAReopen) {
    const test::SplitStream landscape =
        test::splitH264(readClip("tests/media/phone_h264_640x360.h264"), false);
    ASSERT_TRUE(decoder.open(0, 320, 640, 30));
    int pictures = 0;
    auto count = [&](bool, int64_t) { ++pictures; };
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(
            decoder.decode(stream.units[i].bytes.data(), stream.units[i].bytes.size(), i, count));
    }
    bool failed = false;
    for (int i = 0; i < 5 && !failed; ++i) {
        failed = !decoder.decode(landscape.units[i].bytes.data(), landscape.units[i].bytes.size(),
                                 10 + i, count);
    }
    const std::string text = log();
    if (!failed) {
        ASSERT_TRUE(decoder.finish(count));
        EXPECT_EQ(pictures, 10);
        EXPECT_EQ(decoder.outWidth(), 640u);
        EXPECT_NE(text.find("decoder: stream change, output now 640x"), std::string::npos) << text;
        EXPECT_EQ(text.find("decoder: open"), text.rfind("decoder: open"));  // opened once
        return;
    }
    EXPECT_NE(text.find("decoder: ProcessOutput failed 0x"), std::string::npos) << text;
    // What the pipeline does next: reopen, and the next key frame decodes at the new size.
    ASSERT_TRUE(decoder.open(0, 640, 360, 30));
    pictures = 0;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(decoder.decode(landscape.units[i].bytes.data(), landscape.units[i].bytes.size(),
                                   20 + i, count));
    }
    ASSERT_TRUE(decoder.finish(count));
    EXPECT_EQ(pictures, 5);
    EXPECT_EQ(decoder.outWidth(), 640u);
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
