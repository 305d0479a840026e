// Watches which phones adb lists, learns who each connection belongs to, and chooses the one
// connection the rest of the program talks to. One thread polls once a second; setters wake it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "phone/adb_runner.h"
#include "phone/phone_choice.h"

namespace tov {

class PhoneMonitor {
  public:
    struct Options {
        uint32_t pollIntervalMs = 1000;
        AdbRunFunction runAdb = tov::runAdb;
        std::function<std::wstring()> findAdb = [] { return tov::findAdb(); };
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
    // "-s " + serial + " " for the chosen connection; empty when nothing is chosen.
    std::wstring serialArgs() const;

    // One pass of the thread: find adb when needed, then poll. Exposed so that tests can step the
    // monitor poll by poll without the thread.
    void runPass();

  private:
    struct CacheEntry {
        std::string key;
        std::string name;
        int polls = 0;
    };

    void loop();
    void poll();
    void wake();
    void queryIdentity(const std::string& serial, const std::string& listedModel,
                       CacheEntry& entry);

    const Options options_;

    // Inputs, choice and phone list.
    mutable std::mutex mutex_;
    ChoiceInputs inputs_;
    PhoneChoice choice_;
    std::vector<PhoneEntry> phones_;

    // Touched only by the pass that is running.
    std::mutex passMutex_;
    std::wstring adbPath_;
    std::map<std::string, CacheEntry> identities_;

    // Poll timer and wake-up.
    std::mutex timerMutex_;
    std::condition_variable timer_;
    bool wakeRequested_ = false;
    bool stopRequested_ = false;
    std::thread thread_;
};

}  // namespace tov
