#include "core/settings_file.h"

#include <algorithm>
#include <cmath>

#include "core/settings_access.h"
#include "core/stream_shape.h"
#include "platform/paths.h"

namespace tov {
namespace {

// Hundredths of the speed factor; a value the file could not hold back becomes the default.
long long speedPercent(float speed) {
    const double percent = static_cast<double>(speed) * 100.0;
    if (!std::isfinite(percent)) return 100;
    return std::llround(std::clamp(percent, -1e9, 1e9));
}

}  // namespace

std::wstring settingsPath() {
    return programDataFile(L"settings.ini");
}

void readSettings(const std::wstring& path, PanelModel& m, SettingsExtras& extras) {
    const SettingsReader r(path);

    m.keyboard = r.flag(L"input", L"keyboard", true);
    m.mouse = r.flag(L"input", L"mouse", true);
    // `mode` is the older form of `device`; it wins while it is still in the file.
    const int mode = r.number(L"input", L"mode", -1);
    m.deviceMode = mode < 0 ? r.flag(L"input", L"device", false) : mode == 1;
    m.accel = r.flag(L"input", L"accel", true);
    m.speed = static_cast<float>(r.clamped(L"input", L"speed", 100, 25, 400)) / 100.0f;
    m.everyPhone = r.flag(L"input", L"everyphone", false);

    m.video = r.flag(L"stream", L"video", true);
    m.audio = r.flag(L"stream", L"audio", true);
    m.preset = r.text(L"stream", L"preset", "sharp", 32);
    m.codecChoice = r.text(L"stream", L"codec", "auto", 32);
    m.bitrate = r.clamped(L"stream", L"bitrate", 40000000, kMinBitrate, kMaxBitrate);
    m.encoder = r.text(L"stream", L"encoder", "", 128);
    m.vbr = r.flag(L"stream", L"vbr", true);
    m.voice = r.flag(L"stream", L"voice", true);
    m.adapt = r.flag(L"stream", L"adapt", true);
    m.soundFromAll = r.flag(L"stream", L"soundfromall", false);

    m.autoUpdate = r.flag(L"update", L"auto", true);
    extras.seenVersion = r.text(L"update", L"seen", "", 32);

    m.pinned = r.text(L"phone", L"pinned", "", 128);
    m.pinnedName = r.text(L"phone", L"pinnedname", "", 128);
    extras.lastPhone = r.text(L"phone", L"last", "", 128);
    m.preferUsb = r.flag(L"phone", L"preferusb", true);
    m.wifi = r.flag(L"phone", L"wifi", false);

    m.toPhone = r.flag(L"clipboard", L"tophone", true);
    m.toPc = r.flag(L"clipboard", L"topc", true);
    m.pictures = r.flag(L"clipboard", L"pictures", false);
    m.passwords = r.flag(L"clipboard", L"passwords", false);

    m.noApp = r.flag(L"noapp", L"on", false);
    // A No app stream saved without a preset used its own size.
    if (m.noApp && r.text(L"stream", L"preset", "", 32).empty()) m.preset = "custom";
    m.customWidth = r.clamped(L"noapp", L"width", 0, 0, 8192);
    m.customHeight = r.clamped(L"noapp", L"height", 0, 0, 8192);
    m.fps = r.clamped(L"noapp", L"fps", 60, 1, 240);
    m.mbps = r.clamped(L"noapp", L"mbps", 40, 1, 2000);
    m.fit = r.clamped(L"noapp", L"fit", 0, 0, 2);
    m.aspect = r.clamped(L"noapp", L"aspect", 0, 0, 5);
    m.keyframe = r.text(L"noapp", L"keyframe", "10", 32);
    m.noAppCodec = r.text(L"noapp", L"codec", "auto", 32);
    m.ratio = r.text(L"noapp", L"ratio", "", 32);
    if (m.aspect == kShapeTyped && parseTypedRatio(m.ratio) == 0) m.aspect = kShapeCustomSize;
    m.matchPhone = r.flag(L"noapp", L"matchphone", false);
}

void writeSettings(const std::wstring& path, const PanelModel& m, const SettingsExtras& extras) {
    const SettingsWriter w(path);

    w.flag(L"input", L"keyboard", m.keyboard);
    w.flag(L"input", L"mouse", m.mouse);
    w.flag(L"input", L"device", m.deviceMode);
    w.removeKey(L"input", L"mode");
    w.flag(L"input", L"accel", m.accel);
    w.number(L"input", L"speed", speedPercent(m.speed));
    w.flag(L"input", L"everyphone", m.everyPhone);

    w.removeSection(L"game");

    w.flag(L"stream", L"video", m.video);
    w.flag(L"stream", L"audio", m.audio);
    w.text(L"stream", L"preset", m.preset);
    w.text(L"stream", L"codec", m.codecChoice);
    w.number(L"stream", L"bitrate", m.bitrate);
    w.text(L"stream", L"encoder", m.encoder);
    w.flag(L"stream", L"vbr", m.vbr);
    w.flag(L"stream", L"voice", m.voice);
    w.flag(L"stream", L"adapt", m.adapt);
    w.flag(L"stream", L"soundfromall", m.soundFromAll);

    w.flag(L"update", L"auto", m.autoUpdate);

    w.text(L"phone", L"pinned", m.pinned);
    w.text(L"phone", L"pinnedname", m.pinnedName);
    w.text(L"phone", L"last", extras.lastPhone);
    w.flag(L"phone", L"preferusb", m.preferUsb);
    w.flag(L"phone", L"wifi", m.wifi);

    w.flag(L"clipboard", L"tophone", m.toPhone);
    w.flag(L"clipboard", L"topc", m.toPc);
    w.flag(L"clipboard", L"pictures", m.pictures);
    w.flag(L"clipboard", L"passwords", m.passwords);

    w.text(L"update", L"seen", extras.seenVersion);

    w.flag(L"noapp", L"on", m.noApp);
    w.number(L"noapp", L"width", m.customWidth);
    w.number(L"noapp", L"height", m.customHeight);
    w.number(L"noapp", L"fps", m.fps);
    w.number(L"noapp", L"mbps", m.mbps);
    w.number(L"noapp", L"fit", m.fit);
    w.number(L"noapp", L"aspect", m.aspect);
    w.text(L"noapp", L"ratio", m.ratio);
    w.flag(L"noapp", L"matchphone", m.matchPhone);
    w.text(L"noapp", L"keyframe", m.keyframe);
    w.text(L"noapp", L"codec", m.noAppCodec);
}

}  // namespace tov
