#include "core/phone_settings.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/settings_store.h"
#include "ini_entries.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

class PhoneSettingsTest : public ::testing::Test {
  protected:
    // A store as the App has one after a start: the general settings loaded from the file.
    struct Started {
        explicit Started(const std::wstring& path) {
            store.pathProvider = [path] { return path; };
            store.load();
        }
        std::mutex lock;
        PanelModel model;
        std::string seen;
        SettingsStore store{lock, model, seen};
    };

    bool fileHas(const std::string& entry) {
        const auto entries = test::iniEntries(path_);
        return std::find(entries.begin(), entries.end(), entry) != entries.end();
    }

    test::TempDir dir_;
    std::wstring path_ = dir_.file(L"settings.ini");
};

PhoneSettings changedSettings() {
    PhoneSettings s;
    s.preset = "smooth";
    s.codecChoice = "hevc";
    s.bitrate = 12000000;
    s.encoder = "c2.exynos.hevc.encoder";
    s.deviceMode = true;
    s.window = {true, -1500, 40, 540, 1170};
    return s;
}

TEST_F(PhoneSettingsTest, EachPhoneGetsItsOwnBackAfterARestartAndANewOneTheGeneralOnes) {
    test::writeIniText(path_,
                       "[stream]\npreset=fast\ncodec=h264\nbitrate=8000000\n[input]\ndevice=1\n");
    PhoneSettings first = changedSettings();
    PhoneSettings second;
    second.preset = "sharp";
    second.bitrate = 30000000;
    second.window = {true, 10, 20, 300, 600};
    {
        Started run(path_);
        run.store.savePhoneSettings("R58M123ABC", first);
        run.store.savePhoneSettings("192.168.1.20:5555", second);
        run.store.save();  // the general save leaves the phones' sections alone
    }

    Started next(path_);
    EXPECT_EQ(next.store.phoneSettings("R58M123ABC"), first);
    EXPECT_EQ(next.store.phoneSettings("192.168.1.20:5555"), second);
    const PhoneSettings fresh = next.store.phoneSettings("HT7A1B2C3");
    EXPECT_EQ(fresh.preset, "fast");
    EXPECT_EQ(fresh.codecChoice, "h264");
    EXPECT_EQ(fresh.bitrate, 8000000);
    EXPECT_TRUE(fresh.deviceMode);
    EXPECT_FALSE(fresh.window.placed);
    // A phone's own settings are not the general ones.
    EXPECT_EQ(next.model.preset, "fast");
    EXPECT_EQ(next.model.bitrate, 8000000);

    // A window the user no longer placed leaves no place behind.
    first.window = {};
    next.store.savePhoneSettings("R58M123ABC", first);
    EXPECT_EQ(next.store.phoneSettings("R58M123ABC"), first);
    EXPECT_FALSE(fileHas("phone.r58m123abc/x=-1500"));
}

TEST_F(PhoneSettingsTest, OddKeysKeepToTheirOwnSection) {
    // Keys from the phone: line breaks and brackets that would open sections of their own, the
    // characters the file gives meanings to, letters beyond ASCII, and keys that differ only in
    // case or in a character that is made safe.
    const std::string keys[] = {"evil]\n[stream]\nbitrate=1\n[x", "a=b;c", " spaced ",
                                "Ga\xC3\xA9l", "abc", "ABC", "a_b", "a b", "a_20b"};
    test::writeIniText(path_, "[stream]\nbitrate=8000000\n");
    Started run(path_);
    for (size_t i = 0; i < std::size(keys); ++i) {
        PhoneSettings s;
        s.bitrate = 1000000 * static_cast<int32_t>(i + 1);
        s.preset = "p" + std::to_string(i);
        run.store.savePhoneSettings(keys[i], s);
    }
    for (size_t i = 0; i < std::size(keys); ++i) {
        const PhoneSettings s = run.store.phoneSettings(keys[i]);
        EXPECT_EQ(s.bitrate, 1000000 * static_cast<int32_t>(i + 1)) << i;
        EXPECT_EQ(s.preset, "p" + std::to_string(i)) << i;
    }
    // Nothing leaked into the general settings, and no key named a section of its own.
    Started next(path_);
    EXPECT_EQ(next.model.bitrate, 8000000);
    for (const std::string& entry : test::iniEntries(path_)) {
        EXPECT_TRUE(entry.rfind("stream/", 0) == 0 || entry.rfind("phone.", 0) == 0) << entry;
    }
    // No key, no section.
    run.store.savePhoneSettings("", changedSettings());
    EXPECT_EQ(run.store.phoneSettings(""), generalPhoneSettings(next.model));
}

TEST_F(PhoneSettingsTest, HandEditedValuesAreBroughtIntoRange) {
    test::writeIniText(path_,
                       "[phone.R58]\nkey=R58\nbitrate=1\ncodec=hevc\nplaced=1\nx=10\ny=10\n"
                       "width=0\nheight=500\n[phone.OTHER]\nkey=other\npreset=fast\n");
    Started run(path_);
    const PhoneSettings s = run.store.phoneSettings("R58");
    EXPECT_EQ(s.bitrate, 500000);
    EXPECT_EQ(s.codecChoice, "hevc");
    EXPECT_EQ(s.preset, "sharp");  // missing: the general one
    EXPECT_FALSE(s.window.placed);  // a place without a width
    // A section whose key is another phone's (it differs in case) is not this phone's.
    EXPECT_EQ(run.store.phoneSettings("OTHER").preset, "sharp");
}

}  // namespace
}  // namespace tov
