#include "phone/device_feed.h"

#include <vector>

namespace tov {

std::unique_ptr<DeviceFeed> DeviceFeed::start(const StartFunction& startChild,
                                              const std::wstring& adbPath, Events events) {
    std::unique_ptr<ReadableChild> child = startChild ? startChild(adbPath, kArgs) : nullptr;
    if (!child) return nullptr;
    return std::unique_ptr<DeviceFeed>(new DeviceFeed(std::move(child), std::move(events)));
}

DeviceFeed::DeviceFeed(std::unique_ptr<ReadableChild> child, Events events)
    : child_(std::move(child)), events_(std::move(events)) {
    thread_ = std::thread([this] { read(); });
}

DeviceFeed::~DeviceFeed() {
    stop();
}

void DeviceFeed::stop() {
    stopping_ = true;
    child_->stop();
    if (thread_.joinable()) thread_.join();
}

void DeviceFeed::read() {
    std::string chunk;
    std::vector<std::string> lists;
    while (child_->read(chunk)) {
        const bool readable = parser_.add(chunk, lists);
        chunk.clear();
        for (std::string& list : lists) {
            if (stopping_) return;
            if (events_.list) events_.list(std::move(list));
        }
        lists.clear();
        if (!readable) {
            child_->stop();
            if (!stopping_ && events_.ended) events_.ended(parser_.error());
            return;
        }
    }
    if (stopping_ || !events_.ended) return;
    const int code = child_->exitCode();
    events_.ended(code >= 0 ? "adb ended with exit code " + std::to_string(code)
                            : std::string("adb ended"));
}

}  // namespace tov
