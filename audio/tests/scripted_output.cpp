#include "scripted_output.h"

#include <chrono>
#include <thread>

namespace tov::test {

constexpr uint32_t kScriptedBufferFrames = 960;

class ScriptedEndpoint : public AudioEndpoint {
  public:
    ScriptedEndpoint(DeviceLab& lab, int channels, int device)
        : lab_(lab), channels_(channels), device_(device) {}

    uint32_t bufferFrames() const override { return kScriptedBufferFrames; }
    void waitForEvent(uint32_t) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::optional<uint32_t> padding() override {
        if (lab_.faultFor(device_) == DeviceLab::Fault::padding) return std::nullopt;
        return 0u;
    }
    int16_t* getBuffer(uint32_t frames) override {
        if (lab_.faultFor(device_) == DeviceLab::Fault::getBuffer) return nullptr;
        block_.assign(static_cast<size_t>(frames) * channels_, 0);
        return block_.data();
    }
    void releaseBuffer(uint32_t frames) override {
        lab_.accept(block_.data(), static_cast<size_t>(frames) * channels_);
    }

  private:
    DeviceLab& lab_;
    size_t channels_;
    int device_;
    std::vector<int16_t> block_;
};

class ScriptedOutput : public AudioOutput {
  public:
    explicit ScriptedOutput(DeviceLab& lab) : lab_(lab) {}
    std::unique_ptr<AudioEndpoint> open(const AudioFormat& format) override {
        const int device = lab_.tryOpen();
        if (device == 0) return nullptr;
        return std::make_unique<ScriptedEndpoint>(lab_, format.channels, device);
    }

  private:
    DeviceLab& lab_;
};

void DeviceLab::setOpens(bool opens) {
    std::lock_guard<std::mutex> hold(lock_);
    opens_ = opens;
}

void DeviceLab::setFault(Fault fault) {
    std::lock_guard<std::mutex> hold(lock_);
    fault_ = fault;
}

void DeviceLab::breakOpenDevice(Fault fault) {
    std::lock_guard<std::mutex> hold(lock_);
    brokenFault_ = fault;
    brokenDevice_ = opened_;
}

int DeviceLab::openAttempts() const {
    std::lock_guard<std::mutex> hold(lock_);
    return openAttempts_;
}

int DeviceLab::opened() const {
    std::lock_guard<std::mutex> hold(lock_);
    return opened_;
}

std::vector<int16_t> DeviceLab::received() const {
    std::lock_guard<std::mutex> hold(lock_);
    return received_;
}

bool DeviceLab::waitFor(const std::function<bool(const DeviceLab&)>& condition) const {
    // Only a guard against a hang: the conditions tested come true within milliseconds.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition(*this)) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait_for(hold, std::chrono::milliseconds(5));
    }
    return true;
}

std::unique_ptr<AudioOutput> DeviceLab::makeOutput() {
    return std::make_unique<ScriptedOutput>(*this);
}

int DeviceLab::tryOpen() {
    std::lock_guard<std::mutex> hold(lock_);
    ++openAttempts_;
    if (opens_) ++opened_;
    changed_.notify_all();
    return opens_ ? opened_ : 0;
}

DeviceLab::Fault DeviceLab::faultFor(int device) const {
    std::lock_guard<std::mutex> hold(lock_);
    if (fault_ != Fault::none) return fault_;
    return device == brokenDevice_ ? brokenFault_ : Fault::none;
}

void DeviceLab::accept(const int16_t* samples, size_t count) {
    std::lock_guard<std::mutex> hold(lock_);
    received_.insert(received_.end(), samples, samples + count);
    changed_.notify_all();
}

}  // namespace tov::test
