#include "core/settings_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "ini_entries.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

class SettingsStoreTest : public ::testing::Test {
  protected:
    SettingsStoreTest() {
        store_.pathProvider = [this] { return path_; };
    }
    // True when the model lock is free at the moment of the call.
    bool lockIsFree() {
        if (!lock_.try_lock()) return false;
        lock_.unlock();
        return true;
    }

    test::TempDir dir_;
    std::wstring path_ = dir_.file(L"settings.ini");
    std::mutex lock_;
    PanelModel model_;
    std::string seen_;
    SettingsStore store_{lock_, model_, seen_};
};

TEST_F(SettingsStoreTest, LastPhoneAndSeenVersionTravelOutsideTheModel) {
    test::writeIniText(path_, "[phone]\nlast=usb:R58\n[update]\nseen=1.0.2\n[noapp]\nfps=30\n");
    std::string handed = "none";
    bool freeWhenHanded = false;
    store_.onLastPhoneLoaded = [&](const std::string& last) {
        handed = last;
        freeWhenHanded = lockIsFree();
    };
    store_.load();
    EXPECT_EQ(handed, "usb:R58");
    EXPECT_TRUE(freeWhenHanded);
    EXPECT_EQ(seen_, "1.0.2");
    EXPECT_EQ(model_.fps, 30);

    bool freeWhenAsked = false;
    store_.lastPhone = [&] {
        freeWhenAsked = lockIsFree();
        return std::string("wifi:R58");
    };
    seen_ = "1.1.0";
    model_.fps = 120;
    store_.save();
    EXPECT_TRUE(freeWhenAsked);

    const auto entries = test::iniEntries(path_);
    auto has = [&](const std::string& e) {
        return std::find(entries.begin(), entries.end(), e) != entries.end();
    };
    EXPECT_TRUE(has("phone/last=wifi:R58"));
    EXPECT_TRUE(has("update/seen=1.1.0"));
    EXPECT_TRUE(has("noapp/fps=120"));
}

TEST_F(SettingsStoreTest, WithoutAMonitorTheLastPhoneIsSavedEmpty) {
    test::writeIniText(path_, "[phone]\nlast=usb:R58\n");
    store_.load();  // no callback installed: nothing to hand it to
    store_.save();
    const auto entries = test::iniEntries(path_);
    EXPECT_NE(std::find(entries.begin(), entries.end(), "phone/last="), entries.end());
}

TEST_F(SettingsStoreTest, SavesFromManyThreadsNeverInterleave) {
    // Each thread flips the model under the lock and saves; the file must always read back as
    // one of the whole states, never a mix of two.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 3; ++i) {
                {
                    std::lock_guard<std::mutex> hold(lock_);
                    model_.fps = 10 + t;
                    model_.mbps = 10 + t;
                }
                store_.save();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    PanelModel back;
    SettingsExtras extras;
    readSettings(path_, back, extras);
    EXPECT_EQ(back.fps, back.mbps);
    EXPECT_GE(back.fps, 10);
    EXPECT_LE(back.fps, 13);
}

}  // namespace
}  // namespace tov
