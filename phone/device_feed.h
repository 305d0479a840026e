// adb's change feed: one long-lived "adb track-devices -l" that writes the device list each time
// it changes, so that watching phones starts no process while nothing happens. A thread of its
// own reads the output; each whole list, and the feed's end, reach the owner through callbacks
// on that thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "phone/device_feed_parser.h"
#include "platform/readable_child.h"

namespace tov {

class DeviceFeed {
  public:
    // Starts `"adbPath" args` with its output readable; null when it could not start.
    using StartFunction = std::function<std::unique_ptr<ReadableChild>(const std::wstring& adbPath,
                                                                       const std::wstring& args)>;
    struct Events {
        // Each whole list, in the line format of "devices -l".
        std::function<void(std::string list)> list;
        // Once, when the feed ended by itself or wrote what is not a list; never after stop().
        std::function<void(const std::string& why)> ended;
    };
    static constexpr const wchar_t* kArgs = L"track-devices -l";

    // Null when adb could not be started.
    static std::unique_ptr<DeviceFeed> start(const StartFunction& startChild,
                                             const std::wstring& adbPath, Events events);
    ~DeviceFeed();
    DeviceFeed(const DeviceFeed&) = delete;
    DeviceFeed& operator=(const DeviceFeed&) = delete;

    // Ends adb at once and joins the thread; no callback runs once it has returned.
    void stop();

  private:
    DeviceFeed(std::unique_ptr<ReadableChild> child, Events events);
    void read();

    std::unique_ptr<ReadableChild> child_;
    Events events_;
    DeviceFeedParser parser_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace tov
