// The keyboard shortcuts: eleven actions bound to a modifier combination and a key, and the
// Tovenmar key, which lets go of a captured mouse and never reaches the phone.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tov {

struct ShortcutEntry {
    uint8_t modifiers = 0;
    uint16_t key = 0;  // key id; 0 means not set
    bool operator==(const ShortcutEntry&) const = default;
};

// The index of each action in the table.
enum ShortcutAction : int {
    kShortcutHome = 0,
    kShortcutBack,
    kShortcutRecents,
    kShortcutNotifications,
    kShortcutPower,
    kShortcutVolumeUp,
    kShortcutVolumeDown,
    kShortcutFullscreen,
    kShortcutSwitchMode,
    kShortcutRecord,
    kShortcutScreenshot,
    kShortcutCount,
};

struct Shortcuts {
    uint16_t tovenmarKey = 0x138;
    std::array<ShortcutEntry, kShortcutCount> entries{};
    bool operator==(const Shortcuts&) const = default;
};

namespace shortcuts {

Shortcuts defaults();

// The action a key-down runs, or -1. Modifiers must match exactly, except that a binding with
// Right Alt (and without Left Ctrl) ignores a Left Ctrl: AltGr layouts report both.
int match(const Shortcuts& table, uint8_t currentModifiers, uint16_t keyId);

// A binding chosen in the panel. Index below 0: a non-zero key becomes the Tovenmar key.
// Index 0 to kShortcutCount - 1: a non-zero combination is first taken away from every entry that has it, so that
// one combination never runs two actions. Other indexes change nothing.
void assign(Shortcuts& table, int index, uint8_t modifiers, uint16_t key);

// "Home", "Back", ...; empty outside the table.
std::wstring actionName(int index);
// The name used for the action in shortcuts.ini; empty outside the table.
const char* fileName(int index);
// "Not set", or the held modifiers' names each followed by " + ", then the key's name.
std::wstring bindingText(const ShortcutEntry& entry);
// The key's name alone; empty for 0.
std::wstring keyText(uint16_t keyId);

// The file's lines read over `table` (unknown names and malformed lines are skipped).
void read(FILE* file, Shortcuts& table);
void write(FILE* file, const Shortcuts& table);

// %LOCALAPPDATA%\Tovenmar\shortcuts.ini; empty when the program keeps no files.
std::wstring filePath();
// Reads the file over the values already in `table`; a missing file changes nothing.
void load(Shortcuts& table);
void save(const Shortcuts& table);
void loadFrom(const std::wstring& path, Shortcuts& table);
bool saveTo(const std::wstring& path, const Shortcuts& table);

}  // namespace shortcuts
}  // namespace tov
