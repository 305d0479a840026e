#include "core/phone_settings.h"

#include "core/settings_access.h"
#include "platform/text.h"

namespace tov {
namespace {

// Any on-screen coordinate of a desktop of several monitors, with room to spare.
constexpr int kCoordinateLimit = 100000;
// Section names match in any case, so "abc" and "ABC" would share one: a phone finds its own by
// the key inside, and the second of such phones takes "phone.ABC~2", and so on.
constexpr int kSectionsPerName = 16;

std::string safeKey(const std::string& phoneKey) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string safe;
    for (const char c : phoneKey) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '-' || c == '.' || c == ':';
        if (plain) {
            safe += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        safe += '_';
        safe += kHex[byte >> 4];
        safe += kHex[byte & 15];
    }
    return safe;
}

// The phone's section (`known`), else the first free one of its name, else empty.
std::wstring findSection(const std::wstring& path, const std::string& phoneKey, bool& known) {
    known = false;
    if (phoneKey.empty()) return {};
    const std::string safe = safeKey(phoneKey);
    const std::wstring base = phoneSectionName(phoneKey);
    const SettingsReader r(path);
    for (int n = 1; n <= kSectionsPerName; ++n) {
        const std::wstring name = n == 1 ? base : base + L"~" + std::to_wstring(n);
        const std::string key = r.text(name.c_str(), L"key", "", 1024);
        known = key == safe;
        if (known || key.empty()) return name;
    }
    return {};
}

}  // namespace

PhoneSettings generalPhoneSettings(const PanelModel& model) {
    PhoneSettings s;
    s.preset = model.preset;
    s.codecChoice = model.codecChoice;
    s.bitrate = model.bitrate;
    s.encoder = model.encoder;
    s.deviceMode = model.deviceMode;
    return s;
}

void applyPhoneSettings(const PhoneSettings& settings, PanelModel& model) {
    model.preset = settings.preset;
    model.codecChoice = settings.codecChoice;
    model.bitrate = settings.bitrate;
    model.encoder = settings.encoder;
    model.deviceMode = settings.deviceMode;
}

std::wstring phoneSectionName(const std::string& phoneKey) {
    return widenBytes("phone." + safeKey(phoneKey));
}

PhoneSettings readPhoneSettings(const std::wstring& path, const std::string& phoneKey,
                                const PhoneSettings& defaults, bool* known) {
    bool mine = false;
    const std::wstring sectionName = findSection(path, phoneKey, mine);
    if (known) *known = mine;
    if (!mine) return defaults;

    const wchar_t* section = sectionName.c_str();
    const SettingsReader r(path);
    PhoneSettings s;
    s.preset = r.text(section, L"preset", defaults.preset, 32);
    s.codecChoice = r.text(section, L"codec", defaults.codecChoice, 32);
    s.bitrate = r.clamped(section, L"bitrate", defaults.bitrate, kMinBitrate, kMaxBitrate);
    s.encoder = r.text(section, L"encoder", defaults.encoder, 128);
    s.deviceMode = r.flag(section, L"device", defaults.deviceMode);
    WindowPlace& w = s.window;
    w.x = r.clamped(section, L"x", 0, -kCoordinateLimit, kCoordinateLimit);
    w.y = r.clamped(section, L"y", 0, -kCoordinateLimit, kCoordinateLimit);
    w.width = r.clamped(section, L"width", 0, 0, kCoordinateLimit);
    w.height = r.clamped(section, L"height", 0, 0, kCoordinateLimit);
    // A place without a size is no place.
    w.placed = r.flag(section, L"placed", false) && w.width > 0 && w.height > 0;
    if (!w.placed) w = WindowPlace{};
    return s;
}

void writePhoneSettings(const std::wstring& path, const std::string& phoneKey,
                        const PhoneSettings& s) {
    bool known = false;
    const std::wstring sectionName = findSection(path, phoneKey, known);
    if (sectionName.empty()) return;
    const wchar_t* section = sectionName.c_str();
    const SettingsWriter w(path);
    // Afresh, so that a window place the user gave up leaves nothing behind.
    w.removeSection(section);
    w.text(section, L"key", safeKey(phoneKey));
    w.text(section, L"preset", s.preset);
    w.text(section, L"codec", s.codecChoice);
    w.number(section, L"bitrate", s.bitrate);
    w.text(section, L"encoder", s.encoder);
    w.flag(section, L"device", s.deviceMode);
    w.flag(section, L"placed", s.window.placed);
    if (!s.window.placed) return;
    w.number(section, L"x", s.window.x);
    w.number(section, L"y", s.window.y);
    w.number(section, L"width", s.window.width);
    w.number(section, L"height", s.window.height);
}

}  // namespace tov
