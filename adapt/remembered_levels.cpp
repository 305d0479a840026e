#include "adapt/remembered_levels.h"

#include <cstdlib>

#include "platform/ini.h"
#include "platform/text.h"

namespace tov {
namespace {

constexpr const wchar_t* kSection = L"adapt";

// Phone keys come from the phone: only characters that cannot end the key or the line, or
// pose as a section, go into the file's key.
std::wstring entryKey(const std::string& phoneKey, bool wifi) {
    std::string key;
    for (char c : phoneKey) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '-' || c == '_' || c == '.' || c == ':';
        key += plain ? c : '_';
    }
    key += wifi ? ".wifi" : ".usb";
    return widenBytes(key);
}

bool plainName(const std::string& name) {
    for (char c : name) {
        if (c <= ' ' || c > '~') return false;
    }
    return true;
}

}  // namespace

RememberedLevel readRememberedLevel(const std::wstring& settingsPath, const std::string& phoneKey,
                                    bool wifi) {
    RememberedLevel level;
    if (phoneKey.empty()) return level;
    const std::string text = narrowTo7Bit(
        ini::getString(settingsPath, kSection, entryKey(phoneKey, wifi).c_str(), L"", 128));
    const size_t space = text.find(' ');
    char* end = nullptr;
    const long long bitrate = std::strtoll(text.c_str(), &end, 10);
    if (end != text.c_str() + (space == std::string::npos ? text.size() : space)) return level;
    if (bitrate <= 0 || bitrate > 2000000000) return level;
    level.bitrate = bitrate;
    if (space != std::string::npos && plainName(text.substr(space + 1))) {
        level.rung = text.substr(space + 1);
    }
    return level;
}

void writeRememberedLevel(const std::wstring& settingsPath, const std::string& phoneKey, bool wifi,
                          const RememberedLevel& level) {
    if (phoneKey.empty() || level.bitrate <= 0) return;
    std::string text = std::to_string(level.bitrate);
    if (!level.rung.empty() && plainName(level.rung)) text += " " + level.rung;
    ini::writeString(settingsPath, kSection, entryKey(phoneKey, wifi).c_str(),
                     widenBytes(text).c_str());
}

}  // namespace tov
