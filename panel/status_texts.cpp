#include "panel/status_texts.h"

#include <cmath>
#include <cstdio>

#include "panel/colors.h"
#include "platform/text.h"

namespace tov::panel {

namespace {

// The input helper link's state after it failed to copy its helper to the phone.
constexpr int kInputCopyFailed = 3;

std::wstring phoneNameOr(const PanelModel& m, const wchar_t* fallback) {
    return m.detail.empty() ? std::wstring(fallback) : widen(m.detail);
}

std::wstring format(const char* fmt, double a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a);
    return widen(buf);
}

std::wstring number(long long v) {
    return std::to_wstring(v);
}

}  // namespace

bool isConnected(const PanelModel& m) {
    return m.linkState == LinkState::Ready || m.linkState == LinkState::WaitingForApp ||
           m.linkState == LinkState::Live;
}

StatusPill statusPill(const PanelModel& m) {
    if (m.linkState == LinkState::Live) return {L"Live", colors::kLive, true};
    if (m.streaming) return {L"Starting", colors::kAmber, false};
    if (m.linkState == LinkState::Ready) return {L"Ready", colors::kReady, false};
    return {L"Off", colors::kHelpText, false};
}

float pulseOpacity(uint64_t msSinceBoot) {
    return 0.55f + 0.45f * static_cast<float>(std::cos(static_cast<double>(msSinceBoot) / 450.0));
}

std::wstring headline(const PanelModel& m) {
    switch (m.linkState) {
        case LinkState::Stopped:
            return L"Looking for the phone";
        case LinkState::NoAdb:
            return L"adb is missing";
        case LinkState::NoDevice:
            return m.wifiAwaited.empty() ? L"No phone" : L"Reconnecting";
        case LinkState::Unauthorized:
            return L"Allow this PC";
        case LinkState::Ready:
            return phoneNameOr(m, L"Phone");
        case LinkState::WaitingForApp:
            return L"Starting\u2026";
        case LinkState::Live:
            return phoneNameOr(m, L"Live");
    }
    return L"";
}

namespace {

bool anotherPhoneConnected(const PanelModel& m) {
    for (const auto& p : m.phones)
        if (p.key != m.pinned && (p.usb || p.wifi)) return true;
    return false;
}

std::wstring inputSentence(const PanelModel& m) {
    bool wanted = m.keyboard || m.mouse;
    if (!inputLinkUp(m)) {
        if (!wanted) return L"";
        if (m.inputState == kInputCopyFailed)
            return L" Couldn't copy Tovenmar's helper to the phone for keyboard and mouse.";
        return L" Keyboard and mouse are starting.";
    }
    if (m.captured) return L" Mouse captured: " + m.keyName + L" gives it back.";
    return m.deviceMode ? L" Click the video to capture the mouse."
                        : L" Click the video to control the phone.";
}

}  // namespace

std::wstring detailText(const PanelModel& m) {
    switch (m.linkState) {
        case LinkState::Stopped:
            return L"One moment.";
        case LinkState::NoAdb:
            return L"Install Android platform-tools, or put adb.exe next to Tovenmar.exe.";
        case LinkState::NoDevice:
            if (!m.wifiAwaited.empty())
                return L"Waiting for " + widen(m.wifiAwaited) +
                       L" to come back on Wi-Fi. The stream carries on by itself when it does.";
            if (!m.pinned.empty() && anotherPhoneConnected(m))
                return L"Waiting for " + widen(m.pinnedName) +
                       L". Another phone is connected; pick it in Settings to use it.";
            return L"Plug in the cable and turn on USB debugging in Developer options.";
        case LinkState::Unauthorized:
            return L"Your phone is asking whether to trust this PC for USB debugging. Tap Allow.";
        case LinkState::Ready: {
            std::wstring s = m.chosenWifi ? L"Ready to stream over Wi-Fi." : L"Ready to stream.";
            if (inputLinkUp(m) && (m.keyboard || m.mouse))
                s += L" Keyboard and mouse already work.";
            return s;
        }
        case LinkState::WaitingForApp:
            if (m.noApp)
                return m.inputState == kInputCopyFailed
                           ? L"Couldn't copy Tovenmar's helper to the phone. Check the cable."
                           : L"Tovenmar's helper is starting the capture. Nothing opens on the "
                             L"phone. If it never starts, tovenmar-phonecheck tells why.";
            return L"Tap \u201cStart now\u201d on the phone. Choose \u201c"
                   L"Entire screen\u201d if Android asks which. If it never starts, "
                   L"tovenmar-phonecheck tells why.";
        case LinkState::Live: {
            std::wstring s = L"Streaming ";
            s += m.codec == "hevc" ? L"HEVC" : L"H.264";
            s += m.chosenWifi ? L" over Wi-Fi" : L" over USB";
            if (m.noApp) s += L" with no app";
            s += m.videoFlag ? L", decoded on the GPU." : L", decoded on the CPU.";
            return s + inputSentence(m);
        }
    }
    return L"";
}

MainButton mainButton(const PanelModel& m) {
    if (m.streaming && m.linkState == LinkState::Live)
        return {L"Stop stream", colors::kStop, false, MainAction::Stop};
    if (m.streaming) return {L"Starting\u2026  Cancel", colors::kAmber, false, MainAction::Cancel};
    if (m.reinstallOffered)
        return {L"Reinstall phone app", colors::kAmber, false, MainAction::Reinstall};
    return {L"Start stream", colors::kAccent, true, MainAction::Start};
}

StatCells statCells(const PanelModel& m) {
    bool live = m.linkState == LinkState::Live;
    StatCells s;
    s.cells[0].label = L"Size";
    s.cells[1].label = L"FPS";
    s.cells[2].label = L"Mbps";
    s.cells[3].label = L"Video delay";
    s.cells[4].label = L"Input delay";
    if (live && m.width > 0 && m.height > 0)
        s.cells[0].value = number(m.width) + L"\u00d7" + number(m.height);
    if (live && m.statFps > 0) s.cells[1].value = number(m.statFps);
    if (live) s.cells[2].value = format("%.1f", m.rateMbps);
    if (live && m.statVideoDelayMs >= 0) s.cells[3].value = number(m.statVideoDelayMs) + L" ms";
    if (inputLinkUp(m) && m.statInputDelayMs >= 0)
        s.cells[4].value = number(m.statInputDelayMs) + L" ms";
    return s;
}

FrameLine frameLine(const PanelModel& m) {
    if (m.linkState != LinkState::Live || m.statFrames <= 0)
        return {L"No frames yet", colors::kHelpText};
    long long frames = m.statFrames;
    long long dropped = m.statDropped;
    char buf[96];
    std::snprintf(buf, sizeof buf, "%lld frames, %lld dropped (%.2f%%)", frames, dropped,
                  static_cast<double>(dropped) * 100.0 / static_cast<double>(frames));
    bool many = frames < dropped * 100;
    return {widen(buf), many ? colors::kAmber : colors::kSecondaryText};
}

}  // namespace tov::panel
