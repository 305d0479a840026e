// Typed reads and writes of one settings.ini file: flags as "1"/"0", numbers in decimal brought
// into their range, texts one line. Shared by the general settings and the per-phone sections
// so that both read a value the same way.
#pragma once

#include <algorithm>
#include <string>

#include "core/settings_text.h"
#include "platform/ini.h"

namespace tov {

// The bitrate range the phone app is asked for, in bits per second.
inline constexpr int kMinBitrate = 500000;
inline constexpr int kMaxBitrate = 2000000000;

class SettingsReader {
  public:
    explicit SettingsReader(const std::wstring& path) : path_(path) {}

    int number(const wchar_t* section, const wchar_t* key, int def) const {
        return ini::getInt(path_, section, key, def);
    }
    int clamped(const wchar_t* section, const wchar_t* key, int def, int low, int high) const {
        return std::clamp(number(section, key, def), low, high);
    }
    bool flag(const wchar_t* section, const wchar_t* key, bool def) const {
        return number(section, key, def ? 1 : 0) != 0;
    }
    std::string text(const wchar_t* section, const wchar_t* key, std::string_view def,
                     size_t bufferUnits) const {
        return readSettingsText(path_, section, key, def, bufferUnits);
    }

  private:
    const std::wstring& path_;
};

class SettingsWriter {
  public:
    explicit SettingsWriter(const std::wstring& path) : path_(path) {}

    void flag(const wchar_t* section, const wchar_t* key, bool value) const {
        ini::writeString(path_, section, key, value ? L"1" : L"0");
    }
    void number(const wchar_t* section, const wchar_t* key, long long value) const {
        ini::writeString(path_, section, key, std::to_wstring(value).c_str());
    }
    void text(const wchar_t* section, const wchar_t* key, const std::string& value) const {
        writeSettingsText(path_, section, key, value);
    }
    void removeKey(const wchar_t* section, const wchar_t* key) const {
        ini::writeString(path_, section, key, nullptr);
    }
    void removeSection(const wchar_t* section) const {
        ini::writeString(path_, section, nullptr, nullptr);
    }

  private:
    const std::wstring& path_;
};

}  // namespace tov
