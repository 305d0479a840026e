// Watches which phones adb lists, learns who each connection belongs to, and chooses the one
// connection the rest of the program talks to. One thread takes each list adb's change feed
// writes, or polls "devices -l" once a second while the feed cannot run; setters wake it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "phone/adb_runner.h"
#include "phone/device_feed.h"
#include "phone/device_list.h"
#include "phone/phone_choice.h"

namespace tov {

class PhoneMonitor {
  public:
    struct Options {
        uint32_t pollIntervalMs = 1000;
        AdbRunFunction runAdb = tov::runAdb;
        std::function<std::wstring()> findAdb = [] { return tov::findAdb(); };
        // Starts adb's change feed. Empty: no feed, the list is polled every interval.
        DeviceFeed::StartFunction startFeed = [](const std::wstring& adb,
                                                 const std::wstring& args) {
            return startAdbReadable(adb, args);
        };
        // A feed that could not start or ended is tried again after the first wait, each
        // further wait twice the one before, up to the last.
        uint32_t feedRetryFirstMs = 1000;
        uint32_t feedRetryLastMs = 60000;
    };
    static constexpr uint32_t kDevicesTimeoutMs = 10000;

    PhoneMonitor();
    explicit PhoneMonitor(Options options);
    ~PhoneMonitor();
    PhoneMonitor(const PhoneMonitor&) = delete;
    PhoneMonitor& operator=(const PhoneMonitor&) = delete;

    // Called on the monitor thread after a pass that changed the chosen serial, the unauthorized
    // flag or the phone list, and when adb goes missing. Set it before start().
    std::function<void()> onChange;

    void start();
    void stop();

    // Each stores the input and asks for a poll at once.
    void setPinned(const std::string& key);
    void setPreferUsb(bool on);
    void setWifi(bool on);
    // Stores the phone used last time, without a poll (once, as the settings load).
    void setLast(const std::string& key);
    std::string last() const;

    std::vector<PhoneEntry> phones() const;
    PhoneChoice choice() const;
    // The connection that reaches the listed phone `key` now; an empty serial when it is not
    // listed ready.
    PhoneChoice choiceFor(const std::string& key) const;
    // "-s " + serial + " " for the chosen connection; empty when nothing is chosen.
    std::wstring serialArgs() const;
    // True while the list comes from adb's change feed (every pass from now on takes the feed's
    // list and starts no adb); false while the list is polled.
    bool followingFeed() const;

    // One pass of the thread: find adb when needed, then take the feed's latest list, or poll
    // "devices -l" while the feed has none. Exposed so that tests can step the monitor pass by
    // pass without the thread.
    void runPass();

  private:
    struct CacheEntry {
        std::string key;
        std::string name;
        bool known = false;  // the phone answered; until then every pass asks again
        int polls = 0;
    };

    void loop();
    // Looks for adb while it has no path; false (reported once) while it is missing.
    bool haveAdb();
    // One pass over the latest list; true when a connection is too new to count as stable or
    // has not said who it is yet, so that another pass is due after an interval even when
    // nothing changes.
    bool pass();
    bool passOver(const std::vector<AdbDevice>& devices);
    void wake();
    // Starts the feed when it is due and drops it when it ended; on the monitor thread only.
    void tendFeed();
    void dropFeed(const std::string& why);
    // Waits for the next reason to pass; false once stop() was called.
    bool waitForWork(bool passAgain);
    void queryIdentity(const std::string& serial, const std::string& listedModel,
                       CacheEntry& entry);

    const Options options_;

    // Inputs, choice and phone list.
    mutable std::mutex mutex_;
    ChoiceInputs inputs_;
    PhoneChoice choice_;
    std::vector<PhoneEntry> phones_;
    std::vector<PhoneChoice> connections_;

    // Touched only by the pass that is running.
    std::mutex passMutex_;
    std::wstring adbPath_;
    std::map<std::string, CacheEntry> identities_;

    // The change feed, on the monitor thread only.
    std::unique_ptr<DeviceFeed> feed_;
    uint64_t feedStartedMs_ = 0;
    uint64_t feedDueMs_ = 0;  // when a feed may be started (again)
    uint32_t feedRetryMs_ = 0;

    // Poll timer, wake-up, and what the feed's thread hands over.
    mutable std::mutex timerMutex_;
    std::condition_variable timer_;
    bool wakeRequested_ = false;
    bool stopRequested_ = false;
    std::optional<std::string> feedList_;  // the feed's latest list while the feed runs
    bool feedListNew_ = false;
    bool feedEnded_ = false;
    std::string feedEndReason_;
    std::thread thread_;
};

}  // namespace tov
