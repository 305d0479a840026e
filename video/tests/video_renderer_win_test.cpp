#include "video/video_renderer_win.h"

#include <gtest/gtest.h>
#include <mfapi.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/log.h"
#include "tests/support/test_support.h"
#include "video/video_device_win.h"

namespace tov {
namespace {

struct Yuv {
    uint8_t y, u, v;
};
struct Rgb {
    int r, g, b;
};

// BT.709, video range (16-235 luma, 16-240 chroma) to full-range RGB.
Rgb toRgb(Yuv c) {
    const double y = (c.y - 16) / 219.0;
    const double pb = (c.u - 128) / 224.0;
    const double pr = (c.v - 128) / 224.0;
    const double r = y + 1.5748 * pr;
    const double g = y - 0.1873 * pb - 0.4681 * pr;
    const double b = y + 1.8556 * pb;
    auto to8 = [](double v) {
        return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
    };
    return {to8(r), to8(g), to8(b)};
}

const Yuv kRed{63, 102, 240};
const Yuv kGreen{173, 42, 26};
const Yuv kBlue{32, 240, 118};
const Yuv kWhite{235, 128, 128};
const Yuv kMagenta{78, 214, 230};

LRESULT CALLBACK plainWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

// NV12 picture of `width` x `height`: four quadrants of the stream area (red, green / blue,
// white, or turned half round: white, blue / green, red), and magenta alignment rows below
// `streamHeight` and columns right of `width` up to `pitch` that must never be shown.
ComPtr<IMFSample> quadrantPicture(uint32_t width, uint32_t height, uint32_t streamHeight,
                                  uint32_t pitch = 0, bool turned = false) {
    if (pitch == 0) pitch = width;
    std::vector<uint8_t> nv12(pitch * height * 3 / 2);
    auto colourAt = [&](uint32_t x, uint32_t y) {
        if (y >= streamHeight || x >= width) return kMagenta;
        const bool right = (x >= width / 2) != turned;
        const bool bottom = (y >= streamHeight / 2) != turned;
        return bottom ? (right ? kWhite : kBlue) : (right ? kGreen : kRed);
    };
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < pitch; ++x) nv12[y * pitch + x] = colourAt(x, y).y;
    }
    for (uint32_t y = 0; y < height / 2; ++y) {
        for (uint32_t x = 0; x < pitch / 2; ++x) {
            const Yuv c = colourAt(x * 2, y * 2);
            nv12[pitch * height + y * pitch + x * 2] = c.u;
            nv12[pitch * height + y * pitch + x * 2 + 1] = c.v;
        }
    }
    ComPtr<IMFMediaBuffer> buffer;
    ComPtr<IMFSample> sample;
    BYTE* data = nullptr;
    if (FAILED(MFCreateMemoryBuffer(static_cast<DWORD>(nv12.size()), &buffer)) ||
        FAILED(buffer->Lock(&data, nullptr, nullptr))) {
        return nullptr;
    }
    std::memcpy(data, nv12.data(), nv12.size());
    buffer->Unlock();
    buffer->SetCurrentLength(static_cast<DWORD>(nv12.size()));
    if (FAILED(MFCreateSample(&sample)) || FAILED(sample->AddBuffer(buffer.Get()))) return nullptr;
    return sample;
}

// Stands in for the video processor (which Wine lacks): a fresh input surface holds whatever
// the memory held, shown as magenta; a copied picture is drawn as a plain grey of its first
// luma byte.
class StandInProcessor : public PictureConverter {
  public:
    explicit StandInProcessor(ID3D11DeviceContext* context) : context_(context) {}
    const char* name() const override { return "stand-in processor"; }
    bool ensureInput(uint32_t width, uint32_t height, int32_t, Size) override {
        if (width == width_ && height == height_) return true;
        width_ = width;
        height_ = height;
        colour_ = {1.0f, 0.0f, 1.0f, 1.0f};  // never written
        return true;
    }
    Size inputSize() const override {
        return {static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
    }
    bool copyFromTexture(ID3D11Texture2D*, UINT) override { return false; }
    bool copyFromMemory(const uint8_t* data, uint32_t pitch, size_t length) override {
        if (width_ == 0 || pitch < width_ || length < nv12Length(pitch, height_)) return false;
        const float grey = data[0] / 255.0f;
        colour_ = {grey, grey, grey, 1.0f};
        return true;
    }
    void releaseOutput() override {}
    void prepareOutput(ID3D11Texture2D*) override {}
    void setColour(const PictureColour&) override {}
    bool readyToDraw() const override { return width_ > 0; }
    HRESULT draw(const Rect&, const Rect&, Size, ID3D11RenderTargetView* target) override {
        context_->ClearRenderTargetView(target, colour_.data());
        return S_OK;
    }

  private:
    ID3D11DeviceContext* context_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    std::array<float, 4> colour_{};
};

class VideoRendererTest : public ::testing::Test {
  protected:
    void SetUp() override {
        openLog();
        ASSERT_TRUE(SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE)));
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = plainWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TovenmarRendererTest";
        RegisterClassExW(&wc);
        // A client area of exactly 800 x 600.
        RECT r{0, 0, 800, 600};
        AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
        window = CreateWindowExW(0, wc.lpszClassName, L"renderer test", WS_OVERLAPPEDWINDOW, 0, 0,
                                 r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance,
                                 nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        RECT client{};
        GetClientRect(window, &client);
        ASSERT_EQ(client.right, 800);
        ASSERT_EQ(client.bottom, 600);
        std::wstring error;
        ASSERT_TRUE(createVideoDevice(window, device, error)) << narrowError(error);
        renderer = std::make_unique<VideoRenderer>(device, nullptr);
        renderer->setColour(pictureColour({ColourMatrix::Bt709, false}));  // as toRgb converts
    }
    void TearDown() override {
        renderer.reset();
        device = {};
        if (window) DestroyWindow(window);
        MFShutdown();
    }
    static std::string narrowError(const std::wstring& w) {
        return std::string(w.begin(), w.end());
    }

    // The back buffer as 0xAARRGGBB values, row by row.
    std::vector<uint32_t> readBack(uint32_t* width, uint32_t* height) {
        ComPtr<ID3D11Texture2D> back;
        if (FAILED(device.swapChain->GetBuffer(0, IID_PPV_ARGS(&back)))) return {};
        D3D11_TEXTURE2D_DESC desc{};
        back->GetDesc(&desc);
        desc.Usage = D3D11_USAGE_STAGING;
        desc.BindFlags = 0;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
        desc.MiscFlags = 0;
        ComPtr<ID3D11Texture2D> staging;
        if (FAILED(device.device->CreateTexture2D(&desc, nullptr, &staging))) return {};
        device.context->CopyResource(staging.Get(), back.Get());
        D3D11_MAPPED_SUBRESOURCE mapped{};
        if (FAILED(device.context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mapped))) return {};
        std::vector<uint32_t> pixels(desc.Width * desc.Height);
        for (uint32_t y = 0; y < desc.Height; ++y) {
            std::memcpy(&pixels[y * desc.Width],
                        static_cast<const uint8_t*>(mapped.pData) + y * mapped.RowPitch,
                        desc.Width * 4);
        }
        device.context->Unmap(staging.Get(), 0);
        *width = desc.Width;
        *height = desc.Height;
        return pixels;
    }

    HWND window = nullptr;
    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    VideoDevice device;
    std::unique_ptr<VideoRenderer> renderer;
};

Rgb at(const std::vector<uint32_t>& pixels, uint32_t width, int x, int y) {
    const uint32_t p = pixels[static_cast<size_t>(y) * width + x];  // B, G, R, A in memory
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF)};
}

#define EXPECT_COLOUR(actual, expected)                                                          \
    do {                                                                                         \
        const Rgb a_ = (actual);                                                                 \
        const Rgb e_ = (expected);                                                               \
        EXPECT_TRUE(std::abs(a_.r - e_.r) <= 4 && std::abs(a_.g - e_.g) <= 4 &&                  \
                    std::abs(a_.b - e_.b) <= 4)                                                  \
            << #actual << " is " << a_.r << "," << a_.g << "," << a_.b << " not " << e_.r << "," \
            << e_.g << "," << e_.b;                                                              \
    } while (0)

TEST_F(VideoRendererTest, PortraitPictureIsFittedWholeWithBlackBars) {
    const Rgb black{0, 0, 0};
    // A 320 x 640 stream decoded into a 320 x 656 picture (16 alignment rows).
    renderer->setStream(320, 640, 30);
    ComPtr<IMFSample> picture = quadrantPicture(320, 656, 640);
    ASSERT_TRUE(picture);
    renderer->copyPicture(picture.Get(), 320, 656, 320);
    ASSERT_TRUE(renderer->hasPicture());
    renderer->drawFrame();
    std::printf("conversion path: %s\n", renderer->pathName());

    uint32_t w = 0;
    uint32_t h = 0;
    const std::vector<uint32_t> px = readBack(&w, &h);
    ASSERT_EQ(w, 800u);
    ASSERT_EQ(h, 600u);
    const PresenterInfo info = renderer->info();
    EXPECT_EQ(info.backWidth, 800u);
    EXPECT_EQ(info.textureHeight, 656u);

    // Scale 600 / 640: the picture is 300 x 600 at x 250..549.
    EXPECT_COLOUR(at(px, w, 0, 300), black);
    EXPECT_COLOUR(at(px, w, 249, 100), black);
    EXPECT_COLOUR(at(px, w, 250, 100), toRgb(kRed));
    EXPECT_COLOUR(at(px, w, 549, 100), toRgb(kGreen));
    EXPECT_COLOUR(at(px, w, 550, 100), black);
    EXPECT_COLOUR(at(px, w, 799, 500), black);
    EXPECT_COLOUR(at(px, w, 320, 150), toRgb(kRed));
    EXPECT_COLOUR(at(px, w, 480, 150), toRgb(kGreen));
    EXPECT_COLOUR(at(px, w, 320, 450), toRgb(kBlue));
    EXPECT_COLOUR(at(px, w, 480, 450), toRgb(kWhite));
    // The quadrant edges land at the scaled middle (x 400, y 300).
    EXPECT_COLOUR(at(px, w, 396, 296), toRgb(kRed));
    EXPECT_COLOUR(at(px, w, 404, 304), toRgb(kWhite));
    // The bottom row is the picture's last row, not the alignment rows under it.
    EXPECT_COLOUR(at(px, w, 300, 599), toRgb(kBlue));
    EXPECT_COLOUR(at(px, w, 500, 599), toRgb(kWhite));

    // No picture (after a reset): plain black.
    renderer->dropPicture();
    renderer->present();
    renderer->drawFrame();
    const std::vector<uint32_t> empty = readBack(&w, &h);
    EXPECT_COLOUR(at(empty, w, 400, 300), black);
    EXPECT_COLOUR(at(empty, w, 320, 150), black);
}

// A phone-size picture into a window far smaller than it, as the CPU decoder hands it over (rows
// wider than the picture), through the present: converted and scaled in one draw (the first
// before the window's size is known, the next from planes kept at half size), each new picture
// replacing the last one whole; a grab still gets the picture at its own size, sharp.
TEST_F(VideoRendererTest, ALargePictureIsScaledDownIntoTheWindowAndAGrabKeepsItsFullSize) {
    renderer->setStream(960, 1920, 60);
    for (const bool turned : {false, true}) {
        ComPtr<IMFSample> picture = quadrantPicture(960, 1936, 1920, 1024, turned);
        ASSERT_TRUE(picture);
        renderer->holdPicture(picture.Get(), 960, 1936, 1024);
        renderer->present();
        ASSERT_TRUE(renderer->hasPicture());
        renderer->drawFrame();
        uint32_t w = 0;
        uint32_t h = 0;
        const std::vector<uint32_t> px = readBack(&w, &h);
        ASSERT_EQ(w, 800u);
        // Scale 600 / 1920: the picture is 300 x 600 at x 250..549.
        const Yuv topLeft = turned ? kWhite : kRed;
        const Yuv topRight = turned ? kBlue : kGreen;
        const Yuv bottomLeft = turned ? kGreen : kBlue;
        const Yuv bottomRight = turned ? kRed : kWhite;
        EXPECT_COLOUR(at(px, w, 249, 100), (Rgb{0, 0, 0}));
        EXPECT_COLOUR(at(px, w, 252, 2), toRgb(topLeft));
        EXPECT_COLOUR(at(px, w, 547, 2), toRgb(topRight));
        EXPECT_COLOUR(at(px, w, 252, 597), toRgb(bottomLeft));
        // The last column and row are the picture's, not the padding right of it or below it.
        EXPECT_COLOUR(at(px, w, 549, 599), toRgb(bottomRight));
        EXPECT_COLOUR(at(px, w, 549, 150), toRgb(topRight));
        EXPECT_COLOUR(at(px, w, 550, 150), (Rgb{0, 0, 0}));
    }

    const std::optional<Bitmap> grabbed = renderer->readPicture();
    ASSERT_TRUE(grabbed);
    ASSERT_EQ(grabbed->width, 960u);
    ASSERT_EQ(grabbed->height, 1920u);
    const auto pixel = [&](uint32_t x, uint32_t y) {
        const size_t i = (static_cast<size_t>(y) * grabbed->width + x) * 4;  // B, G, R, A
        return Rgb{static_cast<uint8_t>(grabbed->pixels[i + 2]),
                   static_cast<uint8_t>(grabbed->pixels[i + 1]),
                   static_cast<uint8_t>(grabbed->pixels[i])};
    };
    // Pixel for pixel: at the edge between white and blue the luma is each side's own (from
    // planes at half size it would be a quarter of the other side's), the chroma (half the
    // picture's resolution) a quarter mixed.
    const auto edge = [](Yuv own, Yuv other) {
        return toRgb({own.y, static_cast<uint8_t>((3 * own.u + other.u + 2) / 4),
                      static_cast<uint8_t>((3 * own.v + other.v + 2) / 4)});
    };
    EXPECT_COLOUR(pixel(479, 100), edge(kWhite, kBlue));
    EXPECT_COLOUR(pixel(480, 100), edge(kBlue, kWhite));
    EXPECT_COLOUR(pixel(100, 959), edge(kWhite, kGreen));
    EXPECT_COLOUR(pixel(100, 960), edge(kGreen, kWhite));
    EXPECT_COLOUR(pixel(959, 1919), toRgb(kRed));
}

TEST_F(VideoRendererTest, ResizedWindowGetsTheLastPictureAtTheNewSize) {
    renderer->setStream(320, 640, 30);
    ComPtr<IMFSample> picture = quadrantPicture(320, 640, 640);
    renderer->copyPicture(picture.Get(), 320, 640, 320);
    renderer->present();

    // Landscape picture shape now (as after a stream turned): 400 x 400 client.
    RECT r{0, 0, 400, 400};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    renderer->requestResize();
    renderer->drawFrame();
    uint32_t w = 0;
    uint32_t h = 0;
    const std::vector<uint32_t> px = readBack(&w, &h);
    ASSERT_EQ(w, 400u);
    ASSERT_EQ(h, 400u);
    // 200 x 400 picture at x 100..299.
    EXPECT_COLOUR(at(px, w, 99, 50), (Rgb{0, 0, 0}));
    EXPECT_COLOUR(at(px, w, 110, 50), toRgb(kRed));
    EXPECT_COLOUR(at(px, w, 290, 350), toRgb(kWhite));
    EXPECT_COLOUR(at(px, w, 300, 350), (Rgb{0, 0, 0}));
}

TEST_F(VideoRendererTest, ShortOrMissingPictureBytesKeepThePreviousState) {
    renderer->setStream(320, 640, 30);
    // Claims 320 x 640 but carries half the bytes: must not be read past its end.
    ComPtr<IMFSample> shortPicture = quadrantPicture(320, 320, 320);
    renderer->copyPicture(shortPicture.Get(), 320, 640, 320);
    EXPECT_FALSE(renderer->hasPicture());
    ComPtr<IMFSample> empty;
    ASSERT_TRUE(SUCCEEDED(MFCreateSample(&empty)));
    renderer->copyPicture(empty.Get(), 320, 640, 320);
    renderer->copyPicture(nullptr, 320, 640, 320);
    EXPECT_FALSE(renderer->hasPicture());
    renderer->present();  // black, no failure
    EXPECT_EQ(renderer->takeBltFailures(), 0);
}

// A new picture size whose first copy fails: the fresh surface was never written, so the window
// shows black rather than whatever that memory held.
TEST_F(VideoRendererTest, AFailedCopyAtANewSizeShowsBlackNotAnUnwrittenSurface) {
    renderer->useConverterForTest(std::make_unique<StandInProcessor>(device.context.Get()));
    renderer->setStream(320, 640, 30);
    ComPtr<IMFSample> picture = quadrantPicture(320, 640, 640);
    renderer->copyPicture(picture.Get(), 320, 640, 320);
    ASSERT_TRUE(renderer->hasPicture());
    renderer->drawFrame();
    uint32_t w = 0;
    uint32_t h = 0;
    std::vector<uint32_t> px = readBack(&w, &h);
    ASSERT_EQ(w, 800u);
    EXPECT_COLOUR(at(px, w, 400, 300), (Rgb{kRed.y, kRed.y, kRed.y}));

    // The phone turned: 640 x 320 pictures now, but this one carries too few bytes.
    renderer->setStream(640, 320, 30);
    ComPtr<IMFSample> shortPicture = quadrantPicture(320, 320, 320);
    renderer->copyPicture(shortPicture.Get(), 640, 320, 640);
    EXPECT_EQ(renderer->info().textureWidth, 640u);
    EXPECT_FALSE(renderer->hasPicture());
    renderer->drawFrame();
    px = readBack(&w, &h);
    EXPECT_COLOUR(at(px, w, 400, 300), (Rgb{0, 0, 0}));

    // The next whole picture of that size is shown.
    ComPtr<IMFSample> landscape = quadrantPicture(640, 320, 320);
    renderer->copyPicture(landscape.Get(), 640, 320, 640);
    EXPECT_TRUE(renderer->hasPicture());
    renderer->drawFrame();
    px = readBack(&w, &h);
    EXPECT_COLOUR(at(px, w, 400, 300), (Rgb{kRed.y, kRed.y, kRed.y}));
}

}  // namespace
}  // namespace tov
