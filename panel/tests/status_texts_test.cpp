#include "panel/status_texts.h"

#include <gtest/gtest.h>

#include "panel/colors.h"

namespace tov::panel {
namespace {

PanelModel liveModel() {
    PanelModel m;
    m.linkState = LinkState::Live;
    m.streaming = true;
    m.detail = "Pixel 8";
    m.inputState = 2;
    return m;
}

TEST(StatusTexts, LiveDetailIsBuiltInItsOrder) {
    PanelModel m = liveModel();
    m.codec = "hevc";
    m.chosenWifi = true;
    m.noApp = true;
    m.videoFlag = true;
    m.deviceMode = true;
    EXPECT_EQ(
        detailText(m),
        L"Streaming HEVC over Wi-Fi with no app, decoded on the GPU. Click the video to capture "
        L"the mouse.");
    m.codec = "h264";
    m.chosenWifi = false;
    m.noApp = false;
    m.videoFlag = false;
    m.deviceMode = false;
    EXPECT_EQ(
        detailText(m),
        L"Streaming H.264 over USB, decoded on the CPU. Click the video to control the phone.");
}

TEST(StatusTexts, LiveInputSentenceFollowsTheHelperAndTheCapture) {
    PanelModel m = liveModel();
    m.captured = true;
    m.keyName = L"Right Alt";
    EXPECT_NE(detailText(m).find(L" Mouse captured: Right Alt gives it back."), std::wstring::npos);
    m.inputState = 1;
    EXPECT_NE(detailText(m).find(L" Keyboard and mouse are starting."), std::wstring::npos);
    m.inputState = 3;
    EXPECT_NE(detailText(m).find(
                  L" Couldn't copy Tovenmar's helper to the phone for keyboard and mouse."),
              std::wstring::npos);
    // Neither wanted: the detail ends with the decoding sentence.
    m.keyboard = false;
    m.mouse = false;
    std::wstring d = detailText(m);
    EXPECT_EQ(d.substr(d.size() - 21), L", decoded on the CPU.");
}

TEST(StatusTexts, HeadlinesAndDetailsForEachState) {
    PanelModel m;
    EXPECT_EQ(headline(m), L"Looking for the phone");
    EXPECT_EQ(detailText(m), L"One moment.");
    m.linkState = LinkState::NoAdb;
    EXPECT_EQ(headline(m), L"adb is missing");
    m.linkState = LinkState::Unauthorized;
    EXPECT_EQ(headline(m), L"Allow this PC");
    m.linkState = LinkState::Ready;
    EXPECT_EQ(headline(m), L"Phone");
    m.detail = "Pixel 8";
    EXPECT_EQ(headline(m), L"Pixel 8");
    EXPECT_EQ(detailText(m), L"Ready to stream.");
    m.chosenWifi = true;
    m.inputState = 2;
    EXPECT_EQ(detailText(m), L"Ready to stream over Wi-Fi. Keyboard and mouse already work.");
    m.linkState = LinkState::Live;
    m.detail.clear();
    EXPECT_EQ(headline(m), L"Live");
    m.linkState = LinkState::WaitingForApp;
    EXPECT_EQ(headline(m), L"Starting\u2026");
    EXPECT_EQ(detailText(m),
              L"Tap \u201cStart now\u201d on the phone. Choose \u201cEntire screen\u201d if "
              L"Android asks which. If it never starts, tovenmar-phonecheck tells why.");
    m.noApp = true;
    EXPECT_EQ(detailText(m),
              L"Tovenmar's helper is starting the capture. Nothing opens on the phone. If it "
              L"never starts, tovenmar-phonecheck tells why.");
    m.inputState = 3;
    EXPECT_EQ(detailText(m), L"Couldn't copy Tovenmar's helper to the phone. Check the cable.");
}

TEST(StatusTexts, MissingPinnedPhoneWithAnotherConnected) {
    PanelModel m;
    m.linkState = LinkState::NoDevice;
    EXPECT_EQ(detailText(m), L"Plug in the cable and turn on USB debugging in Developer options.");
    m.pinned = "serial-a";
    m.pinnedName = "Galaxy";
    m.phones = {{"serial-a", "Galaxy", false, false}};
    EXPECT_EQ(detailText(m), L"Plug in the cable and turn on USB debugging in Developer options.");
    m.phones.push_back({"serial-b", "Pixel", true, false});
    EXPECT_EQ(detailText(m),
              L"Waiting for Galaxy. Another phone is connected; pick it in Settings to use it.");
}

TEST(StatusTexts, AStreamWaitingForItsWifiPhoneSaysSo) {
    PanelModel m;
    m.linkState = LinkState::NoDevice;
    m.streaming = true;
    m.wifiAwaited = "Google Pixel 8";
    EXPECT_EQ(headline(m), L"Reconnecting");
    EXPECT_EQ(detailText(m),
              L"Waiting for Google Pixel 8 to come back on Wi-Fi. The stream carries on by itself "
              L"when it does.");
}

TEST(StatusTexts, PillAndMainButtonTakeTheFirstMatch) {
    PanelModel m;
    EXPECT_EQ(statusPill(m).word, L"Off");
    m.linkState = LinkState::Ready;
    EXPECT_EQ(statusPill(m).word, L"Ready");
    EXPECT_EQ(mainButton(m).label, L"Start stream");
    EXPECT_TRUE(mainButton(m).filled);
    m.reinstallOffered = true;
    EXPECT_EQ(mainButton(m).label, L"Reinstall phone app");
    EXPECT_EQ(mainButton(m).action, MainAction::Reinstall);
    m.streaming = true;
    EXPECT_EQ(statusPill(m).word, L"Starting");
    EXPECT_EQ(mainButton(m).label, L"Starting\u2026  Cancel");
    EXPECT_EQ(mainButton(m).action, MainAction::Cancel);
    m.linkState = LinkState::Live;
    EXPECT_EQ(statusPill(m).word, L"Live");
    EXPECT_TRUE(statusPill(m).pulsing);
    EXPECT_EQ(mainButton(m).label, L"Stop stream");
    EXPECT_EQ(mainButton(m).color, colors::kStop);
    EXPECT_NEAR(pulseOpacity(0), 1.0f, 1e-6);
    EXPECT_NEAR(pulseOpacity(1414), 0.10f, 0.01);  // cos(pi) at 450 x pi ms
}

TEST(StatusTexts, FrameLineTurnsAmberOnlyPastOnePercent) {
    PanelModel m = liveModel();
    m.statFrames = 1000;
    m.statDropped = 11;
    FrameLine line = frameLine(m);
    EXPECT_EQ(line.text, L"1000 frames, 11 dropped (1.10%)");
    EXPECT_EQ(line.color, colors::kAmber);
    m.statDropped = 10;
    line = frameLine(m);
    EXPECT_EQ(line.text, L"1000 frames, 10 dropped (1.00%)");
    EXPECT_EQ(line.color, colors::kSecondaryText);
}

TEST(StatusTexts, NoStreamShowsDashesAndNoFrames) {
    PanelModel m;
    m.width = 1920;
    m.height = 1080;
    m.statFps = 60;
    m.statFrames = 500;
    m.statInputDelayMs = -1;
    StatCells s = statCells(m);
    for (const auto& c : s.cells)
        EXPECT_TRUE(c.value.empty()) << std::string(c.label.begin(), c.label.end());
    EXPECT_EQ(frameLine(m).text, L"No frames yet");
    EXPECT_EQ(frameLine(m).color, colors::kHelpText);
}

TEST(StatusTexts, LiveCellsFormatTheirValues) {
    PanelModel m = liveModel();
    m.width = 1920;
    m.height = 1080;
    m.statFps = 60;
    m.rateMbps = 38.46;
    m.statVideoDelayMs = 42;
    m.statInputDelayMs = 7;
    StatCells s = statCells(m);
    EXPECT_EQ(s.cells[0].value, L"1920\u00d71080");
    EXPECT_EQ(s.cells[1].value, L"60");
    EXPECT_EQ(s.cells[2].value, L"38.5");
    EXPECT_EQ(s.cells[3].value, L"42 ms");
    EXPECT_EQ(s.cells[4].value, L"7 ms");
    m.statVideoDelayMs = -1;
    m.statFps = 0;
    m.inputState = 1;
    s = statCells(m);
    EXPECT_TRUE(s.cells[1].value.empty());
    EXPECT_TRUE(s.cells[3].value.empty());
    EXPECT_TRUE(s.cells[4].value.empty());
}

}  // namespace
}  // namespace tov::panel
