#include "input/shortcuts.h"

#include <cstring>

#include "input/key_tables.h"
#include "input/keyboard_layout.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace tov::shortcuts {
namespace {

struct ActionInfo {
    const char* fileName;
    const wchar_t* displayName;
    uint16_t defaultKey;
};

// Every default binding is Right Alt plus the key.
constexpr ActionInfo kActions[kShortcutCount] = {
    {"home", L"Home", 0x23},
    {"back", L"Back", 0x30},
    {"recents", L"Recent apps", 0x1F},
    {"notifications", L"Notifications", 0x31},
    {"power", L"Power", 0x19},
    {"volume_up", L"Volume up", 0x148},
    {"volume_down", L"Volume down", 0x150},
    {"fullscreen", L"Fullscreen", 0x21},
    {"switch_mode", L"Touch / Device", 0x20},
    {"record", L"Record", 0x13},
    // C for capture: S, the usual letter, is Recent apps.
    {"screenshot", L"Screenshot", 0x2E},
};

constexpr const wchar_t* kModifierNames[8] = {L"Left Ctrl",   L"Right Ctrl", L"Left Shift",
                                              L"Right Shift", L"Left Alt",   L"Right Alt",
                                              L"Left Win",    L"Right Win"};

constexpr size_t kLineBuffer = 128;  // lines of up to 127 characters

bool validIndex(int index) {
    return index >= 0 && index < kShortcutCount;
}

void applyLine(const char* line, Shortcuts& table) {
    char name[64] = {};
    unsigned modifiers = 0;
    unsigned key = 0;
    if (std::sscanf(line, "%63[^=]=%x,%x", name, &modifiers, &key) != 3) return;
    if (std::strcmp(name, "tovenmar_key") == 0) {
        if (key != 0) table.tovenmarKey = static_cast<uint16_t>(key);
        return;
    }
    for (int i = 0; i < kShortcutCount; ++i) {
        if (std::strcmp(name, kActions[i].fileName) == 0) {
            table.entries[i] = {static_cast<uint8_t>(modifiers), static_cast<uint16_t>(key)};
            return;
        }
    }
}

}  // namespace

Shortcuts defaults() {
    Shortcuts table;
    table.tovenmarKey = 0x138;
    for (int i = 0; i < kShortcutCount; ++i) table.entries[i] = {kRightAlt, kActions[i].defaultKey};
    return table;
}

int match(const Shortcuts& table, uint8_t currentModifiers, uint16_t keyId) {
    for (int i = 0; i < kShortcutCount; ++i) {
        const ShortcutEntry& e = table.entries[i];
        if (e.key == 0 || e.key != keyId) continue;
        uint8_t held = currentModifiers;
        if ((e.modifiers & kRightAlt) && !(e.modifiers & kLeftCtrl))
            held = static_cast<uint8_t>(held & ~kLeftCtrl);
        if (held == e.modifiers) return i;
    }
    return -1;
}

void assign(Shortcuts& table, int index, uint8_t modifiers, uint16_t key) {
    if (index < 0) {
        if (key != 0) table.tovenmarKey = key;
        return;
    }
    if (index >= kShortcutCount) return;
    if (key != 0) {
        for (ShortcutEntry& e : table.entries) {
            if (e.modifiers == modifiers && e.key == key) e = {};
        }
    }
    table.entries[index] = {modifiers, key};
}

std::wstring actionName(int index) {
    return validIndex(index) ? kActions[index].displayName : L"";
}

const char* fileName(int index) {
    return validIndex(index) ? kActions[index].fileName : "";
}

std::wstring bindingText(const ShortcutEntry& entry) {
    if (entry.key == 0) return L"Not set";
    std::wstring text;
    for (int bit = 0; bit < 8; ++bit) {
        if (entry.modifiers & (1u << bit)) {
            text += kModifierNames[bit];
            text += L" + ";
        }
    }
    return text + keyName(entry.key);
}

std::wstring keyText(uint16_t keyId) {
    return keyId == 0 ? std::wstring() : keyName(keyId);
}

void read(FILE* file, Shortcuts& table) {
    char line[kLineBuffer];
    bool continuation = false;
    while (std::fgets(line, sizeof(line), file)) {
        // The rest of an over-long line is not a line of its own: it could otherwise pass for
        // a binding hidden at the end of a long comment.
        const bool complete = std::strchr(line, '\n') != nullptr;
        if (!continuation) applyLine(line, table);
        continuation = !complete;
    }
}

void write(FILE* file, const Shortcuts& table) {
    std::fputs("# Tovenmar shortcuts: name=modifiers,scancode (hex). Edit them in the app.\n",
               file);
    std::fprintf(file, "tovenmar_key=0,%x\n", static_cast<unsigned>(table.tovenmarKey));
    for (int i = 0; i < kShortcutCount; ++i) {
        std::fprintf(file, "%s=%x,%x\n", kActions[i].fileName,
                     static_cast<unsigned>(table.entries[i].modifiers),
                     static_cast<unsigned>(table.entries[i].key));
    }
}

std::wstring filePath() {
    const std::wstring base = localAppDataFolder();
    if (base.empty() || base.size() >= 259) return {};
    return programDataFile(L"shortcuts.ini");
}

void loadFrom(const std::wstring& path, Shortcuts& table) {
    if (path.empty()) return;
    FILE* file = openSharedFile(path, L"r");
    if (!file) return;
    read(file, table);
    std::fclose(file);
}

bool saveTo(const std::wstring& path, const Shortcuts& table) {
    if (path.empty()) return false;
    FILE* file = openSharedFile(path, L"w");
    if (!file) return false;
    write(file, table);
    const bool ok = std::ferror(file) == 0;
    return std::fclose(file) == 0 && ok;
}

void load(Shortcuts& table) {
    loadFrom(filePath(), table);
}

void save(const Shortcuts& table) {
    saveTo(filePath(), table);
}

}  // namespace tov::shortcuts
