#include "input/shortcuts.h"

#include <gtest/gtest.h>

#include <string>

#include "input/key_tables.h"
#include "input/keyboard_layout.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

#ifdef _WIN32
const std::string kEol = "\r\n";  // the file is written in text mode
#else
const std::string kEol = "\n";
#endif

std::string lines(std::initializer_list<const char*> items) {
    std::string text;
    for (const char* line : items) text += std::string(line) + kEol;
    return text;
}

Shortcuts loadText(const std::string& text, Shortcuts table = shortcuts::defaults()) {
    test::TempDir dir;
    const std::wstring path = dir.file(L"shortcuts.ini");
    EXPECT_TRUE(writeFile(path, text));
    shortcuts::loadFrom(path, table);
    return table;
}

TEST(Shortcuts, DefaultsFileByteForByte) {
    test::TempDir dir;
    const std::wstring path = dir.file(L"shortcuts.ini");
    ASSERT_TRUE(shortcuts::saveTo(path, shortcuts::defaults()));
    std::string written;
    ASSERT_TRUE(readFile(path, written));
    EXPECT_EQ(written,
              lines({"# Tovenmar shortcuts: name=modifiers,scancode (hex). Edit them in the app.",
                     "tovenmar_key=0,138", "home=20,23", "back=20,30", "recents=20,1f",
                     "notifications=20,31", "power=20,19", "volume_up=20,148", "volume_down=20,150",
                     "fullscreen=20,21", "switch_mode=20,20", "record=20,13",
                     "screenshot=20,2e"}));
}

TEST(Shortcuts, FileRoundTripKeepsEveryBinding) {
    Shortcuts table = shortcuts::defaults();
    table.tovenmarKey = 0x11D;
    table.entries[kShortcutPower] = {kLeftCtrl | kLeftShift, 0x25};
    table.entries[kShortcutBack] = {0, 0};
    test::TempDir dir;
    const std::wstring path = dir.file(L"s.ini");
    ASSERT_TRUE(shortcuts::saveTo(path, table));
    Shortcuts loaded = shortcuts::defaults();
    shortcuts::loadFrom(path, loaded);
    EXPECT_EQ(loaded, table);
}

TEST(Shortcuts, LoadReadsOverTheRecordAndSkipsWhatItCannotUse) {
    const Shortcuts table = loadText(
        "# a comment\n\nhome=20,0\ntovenmar_key=0,0\nback=1,30\nback=3,2f\nunknown=1,2\n"
        "power=120,12345\nrecents=zz,1\nnotifications=5\n   =1,2\nvolume_up=0x4,0x10\r\n");
    const Shortcuts d = shortcuts::defaults();
    EXPECT_EQ(table.entries[kShortcutHome], (ShortcutEntry{0x20, 0}));  // not set
    EXPECT_EQ(shortcuts::bindingText(table.entries[kShortcutHome]), L"Not set");
    EXPECT_EQ(table.tovenmarKey, 0x138);                                      // 0 keeps the old key
    EXPECT_EQ(table.entries[kShortcutBack], (ShortcutEntry{0x03, 0x2F}));     // later line wins
    EXPECT_EQ(table.entries[kShortcutPower], (ShortcutEntry{0x20, 0x2345}));  // low bits only
    EXPECT_EQ(table.entries[kShortcutRecents], d.entries[kShortcutRecents]);
    EXPECT_EQ(table.entries[kShortcutNotifications], d.entries[kShortcutNotifications]);
    EXPECT_EQ(table.entries[kShortcutVolumeUp], (ShortcutEntry{0x04, 0x10}));
    EXPECT_EQ(table.entries[kShortcutFullscreen], d.entries[kShortcutFullscreen]);
}

TEST(Shortcuts, TheTailOfAnOverlongLineIsNotABinding) {
    const std::string comment = "#" + std::string(126, 'x') + "home=0,1e\n";
    const Shortcuts table = loadText(comment + "back=0,30\n");
    EXPECT_EQ(table.entries[kShortcutHome], shortcuts::defaults().entries[kShortcutHome]);
    EXPECT_EQ(table.entries[kShortcutBack], (ShortcutEntry{0, 0x30}));
    // A line of exactly 127 characters is still whole.
    const std::string exact = "home=" + std::string(119, '0') + "1,2\n";
    ASSERT_EQ(exact.size(), 128u);
    EXPECT_EQ(loadText(exact).entries[kShortcutHome], (ShortcutEntry{1, 2}));
}

TEST(Shortcuts, MissingFileOrFolderChangesNothing) {
    test::TempDir dir;
    Shortcuts table = shortcuts::defaults();
    table.tovenmarKey = 0x1D;
    shortcuts::loadFrom(dir.file(L"missing.ini"), table);
    shortcuts::loadFrom(L"", table);
    EXPECT_EQ(table.tovenmarKey, 0x1D);
    EXPECT_FALSE(shortcuts::saveTo(dir.file(L"no") + kPathSep + L"such.ini", table));
}

TEST(Shortcuts, FileLivesInTheProgramFolderUnlessLocalAppDataIsUnusable) {
    test::TempDir dir;
    {
        test::ScopedEnv env(L"LOCALAPPDATA", dir.path());
        Shortcuts table = shortcuts::defaults();
        table.entries[kShortcutHome] = {0, 0x47};
        shortcuts::save(table);
        EXPECT_TRUE(isFile(joinPath(joinPath(dir.path(), L"Tovenmar"), L"shortcuts.ini")));
        Shortcuts loaded = shortcuts::defaults();
        shortcuts::load(loaded);
        EXPECT_EQ(loaded, table);
    }
    {
        test::ScopedEnv env(L"LOCALAPPDATA", std::wstring(259, L'a'));
        EXPECT_TRUE(shortcuts::filePath().empty());
    }
    {
        test::ScopedEnv env(L"LOCALAPPDATA", nullptr);
        EXPECT_TRUE(shortcuts::filePath().empty());
        shortcuts::save(shortcuts::defaults());  // nowhere to go: no crash, nothing written
    }
}

TEST(Shortcuts, MatchNeedsTheExactModifiersExceptAltGrsLeftCtrl) {
    const Shortcuts table = shortcuts::defaults();
    EXPECT_EQ(shortcuts::match(table, kRightAlt, 0x23), kShortcutHome);
    EXPECT_EQ(shortcuts::match(table, kRightAlt | kLeftCtrl, 0x23), kShortcutHome);  // AltGr
    EXPECT_EQ(shortcuts::match(table, kRightAlt | kLeftShift, 0x23), -1);
    EXPECT_EQ(shortcuts::match(table, kRightAlt | kRightCtrl, 0x23), -1);
    EXPECT_EQ(shortcuts::match(table, 0, 0x23), -1);
    EXPECT_EQ(shortcuts::match(table, kLeftAlt, 0x23), -1);
    EXPECT_EQ(shortcuts::match(table, kRightAlt, 0x150), kShortcutVolumeDown);
    EXPECT_EQ(shortcuts::match(table, kRightAlt, 0x50), -1);  // keypad 2, not Down

    Shortcuts custom = table;
    custom.entries[kShortcutBack] = {kLeftCtrl | kRightAlt, 0x23};
    custom.entries[kShortcutPower] = {0, 0};
    // A binding that names Left Ctrl keeps it significant, and the first entry in order wins.
    EXPECT_EQ(shortcuts::match(custom, kLeftCtrl | kRightAlt, 0x23), kShortcutHome);
    custom.entries[kShortcutHome] = {0, 0};
    EXPECT_EQ(shortcuts::match(custom, kLeftCtrl | kRightAlt, 0x23), kShortcutBack);
    EXPECT_EQ(shortcuts::match(custom, kRightAlt, 0x23), -1);
    EXPECT_EQ(shortcuts::match(custom, 0, 0), -1);  // unset entries never match key 0
}

TEST(Shortcuts, AssigningACombinationTakesItFromItsOldAction) {
    Shortcuts table = shortcuts::defaults();
    shortcuts::assign(table, kShortcutPower, kRightAlt, 0x23);  // Home's combination
    EXPECT_EQ(table.entries[kShortcutPower], (ShortcutEntry{kRightAlt, 0x23}));
    EXPECT_EQ(table.entries[kShortcutHome], (ShortcutEntry{}));
    EXPECT_EQ(shortcuts::match(table, kRightAlt, 0x23), kShortcutPower);
    shortcuts::assign(table, kShortcutBack, 0, 0);  // cleared: nothing else changes
    EXPECT_EQ(table.entries[kShortcutBack], (ShortcutEntry{}));
    EXPECT_EQ(table.entries[kShortcutPower], (ShortcutEntry{kRightAlt, 0x23}));
    shortcuts::assign(table, -1, 0, 0);
    EXPECT_EQ(table.tovenmarKey, 0x138);
    shortcuts::assign(table, -1, 0, 0x11D);
    EXPECT_EQ(table.tovenmarKey, 0x11D);
    const Shortcuts before = table;
    shortcuts::assign(table, kShortcutCount, kRightAlt, 0x30);
    EXPECT_EQ(table, before);
}

TEST(Shortcuts, Texts) {
    const wchar_t* names[] = {L"Home",          L"Back",       L"Recent apps",
                              L"Notifications", L"Power",      L"Volume up",
                              L"Volume down",   L"Fullscreen", L"Touch / Device",
                              L"Record",        L"Screenshot"};
    for (int i = 0; i < kShortcutCount; ++i) EXPECT_EQ(shortcuts::actionName(i), names[i]);
    EXPECT_EQ(shortcuts::actionName(-1), L"");
    EXPECT_EQ(shortcuts::actionName(kShortcutCount), L"");
    EXPECT_EQ(shortcuts::bindingText({kLeftCtrl | kLeftShift, 0x25}),
              L"Left Ctrl + Left Shift + " + keyName(0x25));
    EXPECT_EQ(shortcuts::bindingText({0xFF, 0x1E}),
              L"Left Ctrl + Right Ctrl + Left Shift + Right Shift + Left Alt + Right Alt + "
              L"Left Win + Right Win + " +
                  keyName(0x1E));
    EXPECT_EQ(shortcuts::bindingText({0, 0x1E}), keyName(0x1E));
    EXPECT_EQ(shortcuts::keyText(0), L"");
    EXPECT_EQ(shortcuts::keyText(0x138), keyName(0x138));
    EXPECT_FALSE(keyName(0x1E).empty());
    EXPECT_EQ(keyNameFallback(0x1AB), L"Key 1AB");
}

}  // namespace
}  // namespace tov
