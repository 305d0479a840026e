#include "panel/tests/panel_harness.h"

#include <cstdio>

namespace tov::panel::test {

namespace {
std::string b(bool v) {
    return v ? "1" : "0";
}
}  // namespace

PanelCallbacks recordingCallbacks(Recorded& rec) {
    auto& c = rec.calls;
    PanelCallbacks cb;
    cb.video = [&c](bool v) { c.push_back("video:" + b(v)); };
    cb.audio = [&c](bool v) { c.push_back("audio:" + b(v)); };
    cb.keyboard = [&c](bool v) { c.push_back("keyboard:" + b(v)); };
    cb.mouse = [&c](bool v) { c.push_back("mouse:" + b(v)); };
    cb.preset = [&c](const std::string& v) { c.push_back("preset:" + v); };
    cb.codec = [&c](const std::string& v) { c.push_back("codec:" + v); };
    cb.encoder = [&c](const std::string& v) { c.push_back("encoder:" + v); };
    cb.vbr = [&c](bool v) { c.push_back("vbr:" + b(v)); };
    cb.voice = [&c](bool v) { c.push_back("voice:" + b(v)); };
    cb.adapt = [&c](bool v) { c.push_back("adapt:" + b(v)); };
    cb.restartNow = [&c] { c.push_back("restartNow"); };
    cb.later = [&c] { c.push_back("later"); };
    cb.checkNow = [&c] { c.push_back("checkNow"); };
    cb.whatsNewRead = [&c] { c.push_back("whatsNewRead"); };
    cb.autoUpdate = [&c](bool v) { c.push_back("autoUpdate:" + b(v)); };
    cb.pinPhone = [&c](const std::string& v) { c.push_back("pinPhone:" + v); };
    cb.preferUsb = [&c](bool v) { c.push_back("preferUsb:" + b(v)); };
    cb.wifi = [&c](bool v) { c.push_back("wifi:" + b(v)); };
    cb.clipboardOption = [&c](const std::string& k, bool v) {
        c.push_back("clipboard:" + k + "=" + b(v));
    };
    cb.bitrate = [&c](int v) { c.push_back("bitrate:" + std::to_string(v)); };
    cb.deviceMode = [&c](bool v) { c.push_back("deviceMode:" + b(v)); };
    cb.acceleration = [&c](bool v) { c.push_back("acceleration:" + b(v)); };
    cb.speed = [&c](float v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "speed:%.2f", v);
        c.push_back(buf);
    };
    cb.setShortcut = [&c](int i, uint8_t m, uint16_t k) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "shortcut:%d,%x,%x", i, m, k);
        c.push_back(buf);
    };
    cb.resetShortcuts = [&c] { c.push_back("resetShortcuts"); };
    cb.showVideo = [&c](bool v) { c.push_back("showVideo:" + b(v)); };
    cb.onTop = [&c](bool v) { c.push_back("onTop:" + b(v)); };
    cb.soundFromAll = [&c](bool v) { c.push_back("soundFromAll:" + b(v)); };
    cb.everyPhone = [&c](bool v) { c.push_back("everyPhone:" + b(v)); };
    cb.volume = [&c](float v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "volume:%.2f", v);
        c.push_back(buf);
    };
    cb.startOrStop = [&c] { c.push_back("startOrStop"); };
    cb.reinstall = [&c] { c.push_back("reinstall"); };
    cb.noAppMode = [&c](bool v) { c.push_back("noAppMode:" + b(v)); };
    cb.noAppOption = [&rec](const std::string& k, const std::string& v) {
        rec.calls.push_back("option:" + k + "=" + v);
        return rec.optionAnswer;
    };
    cb.openPairing = [&c] { c.push_back("openPairing"); };
    cb.closePairing = [&c] { c.push_back("closePairing"); };
    cb.pairWithCode = [&c](const std::string& address, const std::string& code) {
        c.push_back("pairWithCode:" + address + "," + code);
    };
    cb.useOverWifi = [&c] { c.push_back("useOverWifi"); };
    cb.forgetPhone = [&c](const std::string& key) { c.push_back("forgetPhone:" + key); };
    cb.selectPhone = [&c](const std::string& key) { c.push_back("selectPhone:" + key); };
    cb.startPhone = [&c](const std::string& key) { c.push_back("startPhone:" + key); };
    cb.stopPhone = [&c](const std::string& key) { c.push_back("stopPhone:" + key); };
    cb.startAll = [&c] { c.push_back("startAll"); };
    return cb;
}

Harness::Harness(PanelModel model)
    : model_(std::move(model)), view_(measurer_, recordingCallbacks(rec_)) {
    paint();
}

void Harness::paint() {
    view_.setModel(model_);
    view_.build(width, height, now);
}

void Harness::showPage(Page page) {
    click(hit::kPageFirst + static_cast<int>(page));
}

const HitRegion* Harness::region(int hit) const {
    for (const auto& r : view_.regions())
        if (r.hit == hit) return &r;
    return nullptr;
}

void Harness::click(int hit) {
    const HitRegion* r = region(hit);
    if (!r) return;
    float x = (r->rect.left + r->rect.right) / 2;
    float y = (r->rect.top + r->rect.bottom) / 2;
    view_.mouseDown(x, y);
    view_.mouseUp(x, y, now);
    paint();
}

const DrawOp* Harness::textOp(const std::wstring& part) const {
    for (const auto& op : view_.drawList().ops())
        if (op.kind == DrawOp::Kind::Text && op.text.find(part) != std::wstring::npos) return &op;
    return nullptr;
}

bool Harness::hasText(const std::wstring& text) const {
    for (const auto& op : view_.drawList().ops())
        if (op.kind == DrawOp::Kind::Text && op.text == text) return true;
    return false;
}

PanelModel connectedModel() {
    PanelModel m;
    m.linkState = LinkState::Ready;
    m.detail = "Pixel 8";
    m.probeState = 1;
    m.presets = {{"smooth", "Smooth", 120, 1280, 720}, {"sharp", "Sharp", 60, 1920, 1080}};
    PhoneInfo::Encoder hw;
    hw.name = "c2.qti.avc.encoder";
    hw.codec = "h264";
    hw.hardware = true;
    hw.maxWidth = 3840;
    hw.maxHeight = 2160;
    hw.fps = 60;
    hw.maxBitrate = 100000000;
    PhoneInfo::Encoder sw = hw;
    sw.name = "c2.android.avc.encoder";
    sw.hardware = false;
    sw.maxWidth = 2048;
    sw.maxHeight = 2048;
    sw.fps = 30;
    sw.maxBitrate = 12000000;
    m.encoders = {hw, sw};
    m.version = "1.1.0";
    return m;
}

}  // namespace tov::panel::test
