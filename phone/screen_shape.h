// Gives the phone's screen the stream's shape with "wm size" while a stream wants it, and puts
// it back afterwards. The size set and the size to restore are written to the settings file
// before the phone is changed, so a run that ended early is mended by the next one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "phone/adb_runner.h"
#include "phone/output_text.h"

namespace tov {

// "wm size": the physical size, and the override in force when there is one.
struct WmSize {
    SizeText physical;
    std::optional<SizeText> override;
};
// Nothing when the answer has no readable "Physical size:".
std::optional<WmSize> parseWmSize(std::string_view output);

// What a ratio (long side over short side; 0 the phone's own shape) asks of a phone.
struct ShapePlan {
    enum class Action { Restore, TooWide, Resize };
    Action action = Action::Restore;
    SizeText size;  // for Resize: the short side kept, the long side cut to an even length
};
ShapePlan planShape(double ratio, SizeText physical);

class ScreenShape {
  public:
    struct Options {
        uint32_t retryMs = 2000;
        uint32_t finishLimitMs = 5000;
        AdbRunFunction runAdb = tov::runAdb;
        std::function<std::wstring()> findAdb = [] { return tov::findAdb(); };
    };
    static constexpr uint32_t kWmTimeoutMs = 10000;

    // `phonePrefix` gives the chosen phone's "-s SERIAL " prefix, empty when none is chosen.
    // A size left on the phone by an earlier run is put back as soon as a phone is chosen.
    ScreenShape(std::wstring settingsPath, std::function<std::wstring()> phonePrefix);
    ScreenShape(std::wstring settingsPath, std::function<std::wstring()> phonePrefix,
                Options options);
    ~ScreenShape();
    ScreenShape(const ScreenShape&) = delete;
    ScreenShape& operator=(const ScreenShape&) = delete;

    // Called on the worker when the shape text changed (set it before the first setShape).
    std::function<void()> onChange;

    // The ratio wanted now; 0 for the phone's own shape. Anything below 1 or not a number counts
    // as 0.
    void setShape(double ratio);
    // At exit: asks for the phone's own shape and waits until it is back, at most the finish
    // limit. True when it is back. Every adb call from then on ends by the same limit, so the
    // worker can be joined right after.
    bool finish();
    std::string shapeText() const;
    // Runs prefix + args on the chosen phone; false without adb or a chosen phone.
    bool runForPhone(const std::wstring& args, std::string* output);

  private:
    void loop();
    bool apply(double ratio);
    bool restore();
    void setText(const std::string& text);
    std::string readKey(const wchar_t* key) const;
    void writeKey(const wchar_t* key, const std::string& value) const;

    const std::wstring settingsPath_;
    const std::function<std::wstring()> phonePrefix_;
    const Options options_;

    std::mutex adbMutex_;
    std::wstring adbPath_;

    // Worker only (and the constructor, before the worker starts).
    std::string resized_;
    std::string original_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    double target_ = 0;
    double applied_ = 0;  // -1: unknown, put the phone back
    bool stopping_ = false;
    std::optional<std::chrono::steady_clock::time_point> finishBy_;
    std::string text_;
    std::thread worker_;
};

}  // namespace tov
