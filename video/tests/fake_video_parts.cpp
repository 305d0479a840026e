#include "video/tests/fake_video_parts.h"

#include <chrono>
#include <thread>
#include <utility>

namespace tov::test {

bool waitUntil(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool FakeDecoder::open(int32_t codec, int32_t width, int32_t height, int32_t fps) {
    std::lock_guard lock(mutex_);
    opens_.push_back({codec, width, height, fps});
    behind_.reset();
    open_ = openSucceeds.load();
    return open_;
}

StreamColour FakeDecoder::outputColour() const {
    std::lock_guard lock(mutex_);
    return outputColour_;
}

void FakeDecoder::setOutputColour(StreamColour c) {
    std::lock_guard lock(mutex_);
    outputColour_ = c;
}

void FakeDecoder::close() {
    open_ = false;
    behind_.reset();
    ++closes;
}

bool FakeDecoder::decode(const uint8_t* data, size_t size, int64_t ptsMicros,
                         const PictureSink& sink) {
    {
        std::unique_lock lock(mutex_);
        inputs_.emplace_back(data, data + size);
        ++decodes;
        cv_.wait(lock, [this] { return !held_; });
    }
    if (duringDecode) duringDecode();
    if (failNextDecodes.load() > 0) {
        --failNextDecodes;
        return false;
    }
    if (oneBehind) {
        const std::optional<int64_t> out = std::exchange(behind_, ptsMicros);
        if (!out) return true;
        ptsMicros = *out;
    }
    for (int i = 0; i < picturesPerPacket.load(); ++i) {
        if (pictureMade) pictureMade(ptsMicros);
        sink(pictureTimeKnown.load(), ptsMicros);
    }
    return true;
}

void FakeDecoder::hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
}

void FakeDecoder::release() {
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    cv_.notify_all();
}

std::vector<FakeDecoder::Opened> FakeDecoder::opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

std::vector<std::vector<uint8_t>> FakeDecoder::inputs() const {
    std::lock_guard lock(mutex_);
    return inputs_;
}

void FakePresenter::setStream(int32_t width, int32_t height, int32_t fps) {
    streamWidth = width;
    streamHeight = height;
    streamFps = fps;
}

void FakePresenter::configArrived(int32_t, int32_t) {
    if (streamWidth <= 0) ++shapedWithoutSize;
    ++configs;
}

void FakePresenter::setColour(const PictureColour& c) {
    std::lock_guard lock(mutex_);
    colour_ = c.samples;
}

ColourSpace FakePresenter::colour() const {
    std::lock_guard lock(mutex_);
    return colour_;
}

void FakePresenter::dropPicture() {
    std::lock_guard lock(mutex_);
    ++drops;
    held_ = kBlack;
}

std::optional<Bitmap> FakePresenter::readPicture() {
    {
        std::lock_guard lock(mutex_);
        if (!texture_) return std::nullopt;
    }
    if (streamWidth <= 0 || streamHeight <= 0) return std::nullopt;
    const auto w = static_cast<uint32_t>(streamWidth.load());
    const auto h = static_cast<uint32_t>(streamHeight.load());
    return Bitmap{w, h, std::string(size_t{w} * h * 4, '\x7f')};
}

void FakePresenter::present() {
    std::unique_lock lock(mutex_);
    ++presentsEntered;
    cv_.wait(lock, [this] { return !presentsHeld_; });
    resize = false;
    if (held_) {
        texture_ = std::exchange(held_, std::nullopt);
        if (*texture_ == kBlack) texture_.reset();
    }
    shown_ = texture_ ? *texture_ : kBlack;
    ++presents;
}

void FakePresenter::hold(int64_t picture) {
    std::lock_guard lock(mutex_);
    held_ = picture;
}

int64_t FakePresenter::shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

void FakePresenter::holdPresents() {
    std::lock_guard lock(mutex_);
    presentsHeld_ = true;
}

void FakePresenter::releasePresents() {
    {
        std::lock_guard lock(mutex_);
        presentsHeld_ = false;
    }
    cv_.notify_all();
}

}  // namespace tov::test
