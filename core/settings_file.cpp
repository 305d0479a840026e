#include "core/settings_file.h"

#include <algorithm>
#include <cmath>

#include "core/stream_shape.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tov {
namespace {

class Reader {
  public:
    explicit Reader(const std::wstring& path) : path_(path) {}

    int number(const wchar_t* section, const wchar_t* key, int def) const {
        return ini::getInt(path_, section, key, def);
    }
    int clamped(const wchar_t* section, const wchar_t* key, int def, int low, int high) const {
        return std::clamp(number(section, key, def), low, high);
    }
    bool flag(const wchar_t* section, const wchar_t* key, bool def) const {
        return number(section, key, def ? 1 : 0) != 0;
    }
    std::string text(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                     size_t bufferUnits) const {
        return narrowTo7Bit(ini::getString(path_, section, key, def, bufferUnits));
    }

  private:
    const std::wstring& path_;
};

// Texts come partly from the phone (preset and encoder names, the phone's name): a line break in
// one would end the entry and let the rest of the text pose as keys or sections of the file.
std::wstring oneLine(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n' || c == L'\0') c = L'?';
    }
    return text;
}

// Hundredths of the speed factor; a value the file could not hold back becomes the default.
long long speedPercent(float speed) {
    const double percent = static_cast<double>(speed) * 100.0;
    if (!std::isfinite(percent)) return 100;
    return std::llround(std::clamp(percent, -1e9, 1e9));
}

class Writer {
  public:
    explicit Writer(const std::wstring& path) : path_(path) {}

    void flag(const wchar_t* section, const wchar_t* key, bool value) const {
        ini::writeString(path_, section, key, value ? L"1" : L"0");
    }
    void number(const wchar_t* section, const wchar_t* key, long long value) const {
        ini::writeString(path_, section, key, std::to_wstring(value).c_str());
    }
    // Byte by byte, as the file's readers expect for everything but the pinned name.
    void bytes(const wchar_t* section, const wchar_t* key, const std::string& value) const {
        ini::writeString(path_, section, key, oneLine(widenBytes(value)).c_str());
    }
    void utf8(const wchar_t* section, const wchar_t* key, const std::string& value) const {
        ini::writeString(path_, section, key, oneLine(widen(value)).c_str());
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

}  // namespace

std::wstring settingsPath() {
    return programDataFile(L"settings.ini");
}

void readSettings(const std::wstring& path, PanelModel& m, SettingsExtras& extras) {
    const Reader r(path);

    m.keyboard = r.flag(L"input", L"keyboard", true);
    m.mouse = r.flag(L"input", L"mouse", true);
    // `mode` is the older form of `device`; it wins while it is still in the file.
    const int mode = r.number(L"input", L"mode", -1);
    m.deviceMode = mode < 0 ? r.flag(L"input", L"device", false) : mode == 1;
    m.accel = r.flag(L"input", L"accel", true);
    m.speed = static_cast<float>(r.clamped(L"input", L"speed", 100, 25, 400)) / 100.0f;

    m.video = r.flag(L"stream", L"video", true);
    m.audio = r.flag(L"stream", L"audio", true);
    m.preset = r.text(L"stream", L"preset", L"sharp", 32);
    m.codecChoice = r.text(L"stream", L"codec", L"auto", 32);
    m.bitrate = r.clamped(L"stream", L"bitrate", 40000000, 500000, 2000000000);
    m.encoder = r.text(L"stream", L"encoder", L"", 128);
    m.vbr = r.flag(L"stream", L"vbr", true);
    m.voice = r.flag(L"stream", L"voice", true);
    m.adapt = r.flag(L"stream", L"adapt", true);

    m.autoUpdate = r.flag(L"update", L"auto", true);
    extras.seenVersion = r.text(L"update", L"seen", L"", 32);

    m.pinned = r.text(L"phone", L"pinned", L"", 128);
    m.pinnedName = r.text(L"phone", L"pinnedname", L"", 128);
    extras.lastPhone = r.text(L"phone", L"last", L"", 128);
    m.preferUsb = r.flag(L"phone", L"preferusb", true);
    m.wifi = r.flag(L"phone", L"wifi", false);

    m.toPhone = r.flag(L"clipboard", L"tophone", true);
    m.toPc = r.flag(L"clipboard", L"topc", true);
    m.pictures = r.flag(L"clipboard", L"pictures", false);
    m.passwords = r.flag(L"clipboard", L"passwords", false);

    m.noApp = r.flag(L"noapp", L"on", false);
    // A No app stream saved without a preset used its own size.
    if (m.noApp && r.text(L"stream", L"preset", L"", 32).empty()) m.preset = "custom";
    m.customWidth = r.clamped(L"noapp", L"width", 0, 0, 8192);
    m.customHeight = r.clamped(L"noapp", L"height", 0, 0, 8192);
    m.fps = r.clamped(L"noapp", L"fps", 60, 1, 240);
    m.mbps = r.clamped(L"noapp", L"mbps", 40, 1, 2000);
    m.fit = r.clamped(L"noapp", L"fit", 0, 0, 2);
    m.aspect = r.clamped(L"noapp", L"aspect", 0, 0, 5);
    m.keyframe = r.text(L"noapp", L"keyframe", L"10", 32);
    m.noAppCodec = r.text(L"noapp", L"codec", L"auto", 32);
    m.ratio = r.text(L"noapp", L"ratio", L"", 32);
    if (m.aspect == kShapeTyped && parseTypedRatio(m.ratio) == 0) m.aspect = kShapeCustomSize;
    m.matchPhone = r.flag(L"noapp", L"matchphone", false);
}

void writeSettings(const std::wstring& path, const PanelModel& m, const SettingsExtras& extras) {
    const Writer w(path);

    w.flag(L"input", L"keyboard", m.keyboard);
    w.flag(L"input", L"mouse", m.mouse);
    w.flag(L"input", L"device", m.deviceMode);
    w.removeKey(L"input", L"mode");
    w.flag(L"input", L"accel", m.accel);
    w.number(L"input", L"speed", speedPercent(m.speed));

    w.removeSection(L"game");

    w.flag(L"stream", L"video", m.video);
    w.flag(L"stream", L"audio", m.audio);
    w.bytes(L"stream", L"preset", m.preset);
    w.bytes(L"stream", L"codec", m.codecChoice);
    w.number(L"stream", L"bitrate", m.bitrate);
    w.bytes(L"stream", L"encoder", m.encoder);
    w.flag(L"stream", L"vbr", m.vbr);
    w.flag(L"stream", L"voice", m.voice);
    w.flag(L"stream", L"adapt", m.adapt);

    w.flag(L"update", L"auto", m.autoUpdate);

    w.bytes(L"phone", L"pinned", m.pinned);
    w.utf8(L"phone", L"pinnedname", m.pinnedName);
    w.bytes(L"phone", L"last", extras.lastPhone);
    w.flag(L"phone", L"preferusb", m.preferUsb);
    w.flag(L"phone", L"wifi", m.wifi);

    w.flag(L"clipboard", L"tophone", m.toPhone);
    w.flag(L"clipboard", L"topc", m.toPc);
    w.flag(L"clipboard", L"pictures", m.pictures);
    w.flag(L"clipboard", L"passwords", m.passwords);

    w.bytes(L"update", L"seen", extras.seenVersion);

    w.flag(L"noapp", L"on", m.noApp);
    w.number(L"noapp", L"width", m.customWidth);
    w.number(L"noapp", L"height", m.customHeight);
    w.number(L"noapp", L"fps", m.fps);
    w.number(L"noapp", L"mbps", m.mbps);
    w.number(L"noapp", L"fit", m.fit);
    w.number(L"noapp", L"aspect", m.aspect);
    w.bytes(L"noapp", L"ratio", m.ratio);
    w.flag(L"noapp", L"matchphone", m.matchPhone);
    w.bytes(L"noapp", L"keyframe", m.keyframe);
    w.bytes(L"noapp", L"codec", m.noAppCodec);
}

}  // namespace tov
