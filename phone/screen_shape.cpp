#include "phone/screen_shape.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "core/log.h"
#include "core/settings_text.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace tov {
namespace {

std::optional<SizeText> sizeAfter(std::string_view output, std::string_view label) {
    const size_t at = output.find(label);
    if (at == std::string_view::npos) return std::nullopt;
    return readSize(output.substr(at + label.size()));
}

// A stored size is used in a shell command only when it is exactly "%dx%d".
bool isPlainSize(const std::string& text) {
    std::string_view rest = text;
    if (rest.empty() || rest.front() < '0' || rest.front() > '9') return false;
    const std::optional<int32_t> w = readDecimal32(rest);
    if (!w || rest.empty() || rest.front() != 'x') return false;
    rest.remove_prefix(1);
    if (rest.empty() || rest.front() < '0' || rest.front() > '9') return false;
    return readDecimal32(rest) && rest.empty();
}

double usableRatio(double ratio) {
    return std::isfinite(ratio) && ratio >= 1 ? ratio : 0;
}

}  // namespace

std::optional<WmSize> parseWmSize(std::string_view output) {
    const std::optional<SizeText> physical = sizeAfter(output, "Physical size:");
    if (!physical || physical->width <= 0 || physical->height <= 0) return std::nullopt;
    return WmSize{*physical, sizeAfter(output, "Override size:")};
}

ShapePlan planShape(double ratio, SizeText physical) {
    ShapePlan plan;
    ratio = usableRatio(ratio);
    if (ratio <= 0) return plan;
    const int32_t shortSide = std::min(physical.width, physical.height);
    const int32_t longSide = std::max(physical.width, physical.height);
    // Compared before the conversion, so that no ratio can overflow the length.
    const double wanted = std::round(ratio * shortSide);
    if (wanted >= longSide) {
        plan.action = ShapePlan::Action::TooWide;
        return plan;
    }
    const int32_t n = static_cast<int32_t>(wanted) & ~1;
    if (n <= 0) {
        plan.action = ShapePlan::Action::TooWide;  // a screen too small to cut
        return plan;
    }
    plan.action = ShapePlan::Action::Resize;
    plan.size = physical.width >= physical.height ? SizeText{n, shortSide} : SizeText{shortSide, n};
    return plan;
}

ScreenShape::ScreenShape(std::wstring settingsPath, std::function<std::wstring()> phonePrefix)
    : ScreenShape(std::move(settingsPath), std::move(phonePrefix), Options{}) {}

ScreenShape::ScreenShape(std::wstring settingsPath, std::function<std::wstring()> phonePrefix,
                         Options options)
    : settingsPath_(std::move(settingsPath)),
      phonePrefix_(std::move(phonePrefix)),
      options_(std::move(options)) {
    resized_ = readKey(L"resized");
    original_ = readKey(L"original");
    if (!resized_.empty()) {
        logLine("phone: still resized to %s from an earlier run; putting it back",
                resized_.c_str());
        applied_ = -1;
    }
    worker_ = std::thread([this] { loop(); });
}

ScreenShape::~ScreenShape() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void ScreenShape::setShape(double ratio) {
    ratio = usableRatio(ratio);
    {
        std::lock_guard lock(mutex_);
        if (ratio == target_) return;
        target_ = ratio;
    }
    changed_.notify_all();
}

bool ScreenShape::finish() {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.finishLimitMs);
    std::unique_lock lock(mutex_);
    finishBy_ = deadline;
    if (target_ != 0) {
        target_ = 0;
        changed_.notify_all();
    }
    return changed_.wait_until(lock, deadline, [this] { return applied_ == 0; });
}

std::string ScreenShape::shapeText() const {
    std::lock_guard lock(mutex_);
    return text_;
}

bool ScreenShape::runForPhone(const std::wstring& args, std::string* output) {
    std::wstring adb;
    {
        std::lock_guard lock(adbMutex_);
        if (adbPath_.empty()) adbPath_ = options_.findAdb();
        adb = adbPath_;
    }
    if (adb.empty()) return false;
    const std::wstring prefix = phonePrefix_ ? phonePrefix_() : std::wstring();
    if (prefix.empty()) return false;
    uint32_t limitMs = kWmTimeoutMs;
    {
        // Once closing, no call outlasts finish(): a hung adb cannot hold up the exit.
        std::lock_guard lock(mutex_);
        if (finishBy_) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                *finishBy_ - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            limitMs = std::min<uint32_t>(limitMs, static_cast<uint32_t>(left.count()));
        }
    }
    return options_.runAdb(adb, prefix + args, output, limitMs);
}

void ScreenShape::loop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (target_ == applied_) {
            changed_.wait(lock);
            continue;
        }
        const double target = target_;
        lock.unlock();
        const bool ok = apply(target);
        lock.lock();
        if (ok) {
            applied_ = target;
            changed_.notify_all();
        } else {
            changed_.wait_for(lock, std::chrono::milliseconds(options_.retryMs),
                              [&] { return stopping_ || target_ != target; });
        }
    }
}

bool ScreenShape::apply(double ratio) {
    std::string output;
    if (!runForPhone(L"shell wm size", &output)) return false;
    const std::optional<WmSize> size = parseWmSize(output);
    if (!size) return false;

    const ShapePlan plan = planShape(ratio, size->physical);
    if (plan.action != ShapePlan::Action::Resize) {
        if (!restore()) return false;
        setText(plan.action == ShapePlan::Action::TooWide
                    ? "That shape is as wide as the phone or wider, so the phone stays as it is."
                    : "");
        return true;
    }

    const std::string wanted = sizeText(plan.size.width, plan.size.height);
    if (resized_.empty()) {
        original_ = size->override ? sizeText(size->override->width, size->override->height) : "";
        writeKey(L"original", original_);
    }
    resized_ = wanted;
    writeKey(L"resized", resized_);
    if (!runForPhone(L"shell wm size " + widen(wanted), nullptr)) return false;
    logLine("phone: screen resized to %s for the stream", wanted.c_str());
    setText("Phone set to " + wanted + " while streaming; Stop stream puts it back.");
    return true;
}

bool ScreenShape::restore() {
    if (resized_.empty()) return true;
    const bool toOriginal = isPlainSize(original_);
    if (!runForPhone(toOriginal ? L"shell wm size " + widen(original_) : L"shell wm size reset",
                     nullptr)) {
        return false;
    }
    logLine("phone: screen size put back (%s)", toOriginal ? original_.c_str() : "reset");
    resized_.clear();
    original_.clear();
    writeKey(L"resized", "");
    writeKey(L"original", "");
    return true;
}

void ScreenShape::setText(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        if (text_ == text) return;
        text_ = text;
    }
    if (onChange) onChange();
}

std::string ScreenShape::readKey(const wchar_t* key) const {
    return readSettingsText(settingsPath_, L"phone", key, "", 65);
}

void ScreenShape::writeKey(const wchar_t* key, const std::string& value) const {
    if (value.empty()) {
        ini::writeString(settingsPath_, L"phone", key, nullptr);
    } else {
        writeSettingsText(settingsPath_, L"phone", key, value);
    }
}

}  // namespace tov
