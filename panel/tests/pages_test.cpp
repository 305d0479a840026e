// What each page shows for a given model.
#include <gtest/gtest.h>

#include "panel/colors.h"
#include "panel/tests/panel_harness.h"
#include "panel/window_geometry.h"

namespace tov::panel::test {
namespace {

using namespace hit;
using Calls = std::vector<std::string>;

TEST(Pages, WithoutAPhoneEveryStreamAndQualityControlIsDisabled) {
    Harness h;  // link state stopped
    EXPECT_TRUE(h.hasText(L"Connect your phone to change these settings."));
    for (int id : {kCaptureWith, kCaptureWith + 1, kVideo, kAudio, kVoice, kKeyboard, kMouse,
                   kCodec, kCodec + 1, kCodec + 2, kEncoder}) {
        ASSERT_NE(h.region(id), nullptr) << id;
        EXPECT_FALSE(h.region(id)->enabled) << id;
    }
    h.showPage(Page::Quality);
    EXPECT_TRUE(h.hasText(L"Connect your phone to change these settings."));
    for (int id : {kPreset, kBitrateSlider, kVbr, kShape, kFit, kFit + 1, kMatchPhone}) {
        ASSERT_NE(h.region(id), nullptr) << id;
        EXPECT_FALSE(h.region(id)->enabled) << id;
    }
    // Pressing a disabled toggle does nothing.
    h.click(kVbr);
    EXPECT_TRUE(h.rec().calls.empty());
}

TEST(Pages, NoticeFollowsLinkAndProbe) {
    Harness h(connectedModel());
    EXPECT_EQ(h.textOp(L"change these settings"), nullptr);
    EXPECT_TRUE(h.region(kVideo)->enabled);
    h.model().linkState = LinkState::Unauthorized;
    h.paint();
    EXPECT_TRUE(
        h.hasText(L"Accept the USB debugging prompt on your phone to change these settings."));
    h.model().linkState = LinkState::Live;
    h.model().probeState = 0;
    h.paint();
    EXPECT_TRUE(h.hasText(L"Reading what your phone's encoders can do\u2026"));
    h.model().probeState = -1;
    h.paint();
    EXPECT_NE(h.textOp(L"Couldn't read your phone's encoders."), nullptr);
}

TEST(Pages, VoiceAndHevcHaveTheirOwnConditions) {
    Harness h(connectedModel());
    EXPECT_FALSE(h.region(kVoice)->enabled);
    EXPECT_NE(h.textOp(L"Only works in No app mode."), nullptr);
    EXPECT_FALSE(h.region(kCodec + 2)->enabled);
    EXPECT_TRUE(h.hasText(L"This PC can't decode HEVC on its graphics card, so H.264 it is."));
    h.model().noApp = true;
    h.model().phoneHevc = true;
    h.model().pcHevc = true;
    h.paint();
    EXPECT_TRUE(h.region(kVoice)->enabled);
    EXPECT_TRUE(h.region(kCodec + 2)->enabled);
    EXPECT_TRUE(
        h.hasText(L"HEVC looks cleaner at the same bitrate. Auto uses it when the phone has it."));
    h.model().linkState = LinkState::Live;
    h.model().codec = "hevc";
    h.paint();
    EXPECT_TRUE(h.hasText(L"Sending HEVC."));
}

TEST(Pages, EncoderButtonAndHelp) {
    PanelModel m = connectedModel();
    m.encoderName = "c2.qti.avc.encoder";
    Harness h(m);
    EXPECT_TRUE(h.hasText(L"Automatic (c2.qti.avc.encoder)"));
    EXPECT_TRUE(h.hasText(L"The phone picks its own."));
    h.model().encoder = "c2.android.avc.encoder";
    h.paint();
    EXPECT_TRUE(h.hasText(L"c2.android.avc.encoder"));
    EXPECT_TRUE(
        h.hasText(L"Software, too slow for games. Lists up to 2048\u00d72048, 30 fps at screen "
                  L"size, 12 Mbps."));
    h.model() = PanelModel{};
    h.paint();
    EXPECT_TRUE(h.hasText(L"Automatic"));
    EXPECT_TRUE(h.hasText(L"The phone's encoders show once it's connected."));
}

TEST(Pages, CustomPresetShowsItsRows) {
    Harness h(connectedModel());
    h.showPage(Page::Quality);
    EXPECT_TRUE(h.hasText(L"Sharp"));
    EXPECT_NE(h.region(kBitrateSlider), nullptr);
    EXPECT_EQ(h.region(kCustomWidth), nullptr);
    EXPECT_FALSE(h.hasText(L"Keyframe interval"));
    h.model().preset = "custom";
    h.paint();
    EXPECT_TRUE(h.hasText(L"Custom"));
    for (int id : {kCustomWidth, kCustomHeight, kFrameRate, kCustomBitrate, kKeyframe})
        EXPECT_NE(h.region(id), nullptr) << id;
    EXPECT_TRUE(h.hasText(L"Size"));
    EXPECT_TRUE(h.hasText(L"Frame rate"));
    EXPECT_TRUE(h.hasText(L"Keyframe interval"));
    EXPECT_EQ(h.region(kBitrateSlider), nullptr);
    h.model().preset = "unknown";
    h.paint();
    EXPECT_TRUE(h.hasText(L"Choose\u2026"));
}

TEST(Pages, OwnRatioShowsTheRatioRow) {
    Harness h(connectedModel());
    h.showPage(Page::Quality);
    EXPECT_EQ(h.region(kRatio), nullptr);
    EXPECT_TRUE(h.hasText(L"Phone's screen") || h.hasText(L"Free"));
    h.model().aspect = 5;
    h.model().ratio = "32:9";
    h.paint();
    ASSERT_NE(h.region(kRatio), nullptr);
    EXPECT_TRUE(h.hasText(L"32:9"));
    h.model().aspect = 2;
    h.paint();
    EXPECT_EQ(h.region(kRatio), nullptr);
    EXPECT_TRUE(h.hasText(L"16:9"));
}

TEST(Pages, QualityPrintsWhatWasMeasured) {
    PanelModel m = connectedModel();
    m.encoderName = "c2.qti.avc.encoder";
    m.link = 30;
    m.bitrate = 40000000;
    m.audioNote = "Opus 48 kHz stereo";
    Harness h(m);
    h.showPage(Page::Quality);
    EXPECT_NE(h.textOp(L"The H.264 encoder lists 3840\u00d72160, 60 fps, 100 Mbps. The cable "
                       L"measured 30 Mbps."),
              nullptr);
    EXPECT_NE(h.textOp(L"Past the 30 Mbps the cable measured: expect stutter."), nullptr);
    EXPECT_TRUE(h.hasText(L"Audio: Opus 48 kHz stereo"));
    h.model().bitrate = 20000000;
    h.paint();
    EXPECT_EQ(h.textOp(L"expect stutter"), nullptr);
}

TEST(Pages, QualityShowsWhatTheStreamAdapterDoesAndItsSwitch) {
    PanelModel m = connectedModel();
    m.adaptText = "Sending 720\u00d71600 at 30 fps, 9.0 Mbps: the Wi-Fi carries 11 Mbps now.";
    Harness h(m);
    h.showPage(Page::Quality);
    EXPECT_TRUE(h.hasText(L"Fit the stream to this PC and the link"));
    EXPECT_TRUE(h.hasText(
        L"Sending 720\u00d71600 at 30 fps, 9.0 Mbps: the Wi-Fi carries 11 Mbps now."));
    h.click(kAdapt);
    EXPECT_EQ(h.rec().calls, (Calls{"adapt:0"}));
    h.model().adapt = false;
    h.paint();
    EXPECT_EQ(h.textOp(L"the Wi-Fi carries"), nullptr);
    h.click(kAdapt);
    EXPECT_EQ(h.rec().calls.back(), "adapt:1");
}

TEST(Pages, TouchModeDisablesAccelerationAndSpeed) {
    Harness h;
    h.showPage(Page::Input);
    EXPECT_FALSE(h.region(kAccel)->enabled);
    EXPECT_FALSE(h.region(kSpeedSlider)->enabled);
    EXPECT_TRUE(h.hasText(L"Only in Device mode."));
    EXPECT_TRUE(h.region(kMode)->enabled);
    h.model().deviceMode = true;
    h.model().keyName = L"Right Alt";
    h.paint();
    EXPECT_TRUE(h.region(kAccel)->enabled);
    EXPECT_FALSE(h.region(kSpeedSlider)->enabled);  // the phone's acceleration is on
    EXPECT_TRUE(h.hasText(L"The phone's own Pointer speed setting applies."));
    EXPECT_NE(h.textOp(L"Click the video to capture the mouse; Right Alt gives it back."), nullptr);
    h.model().accel = false;
    h.paint();
    EXPECT_TRUE(h.region(kSpeedSlider)->enabled);
    // Until the phone answers, the help claims neither outcome.
    EXPECT_TRUE(h.hasText(
        L"No acceleration, if the phone takes the exact mouse. It has not answered yet."));
    h.model().deviceAnswer = 1;
    h.paint();
    EXPECT_TRUE(h.hasText(L"No acceleration: the same move always goes the same distance."));
    h.model().deviceAnswer = 0;
    h.paint();
    EXPECT_TRUE(h.hasText(L"This phone refused the exact mouse; its acceleration stays on."));
}

TEST(Pages, SeveralPhonesSoundAndInputChoicesReachTheAppAndTheSidebarSaysInputGoesToAll) {
    Harness h;
    h.showPage(Page::Window);
    EXPECT_TRUE(h.hasText(L"Sound from"));
    EXPECT_TRUE(h.hasText(L"the active phone"));
    EXPECT_TRUE(h.hasText(L"all phones"));
    h.click(kSoundFrom + 1);
    h.model().soundFromAll = true;
    h.paint();
    h.click(kSoundFrom);

    h.showPage(Page::Input);
    EXPECT_TRUE(h.hasText(L"Send my input to every phone"));
    EXPECT_FALSE(h.hasText(L"Your input goes to every phone."));
    h.click(kEveryPhone);
    EXPECT_EQ(h.rec().calls, (Calls{"soundFromAll:1", "soundFromAll:0", "everyPhone:1"}));
    // On, the sidebar says so whatever page is shown, and whatever the link does.
    h.model().everyPhone = true;
    h.showPage(Page::Stream);
    const DrawOp* said = h.textOp(L"Your input goes to every phone.");
    ASSERT_NE(said, nullptr);
    EXPECT_LT(said->rect.right, 248);
}

TEST(Pages, UpdateButtonStates) {
    Harness h;
    h.showPage(Page::Settings);
    EXPECT_TRUE(h.hasText(L"Check now"));
    EXPECT_TRUE(h.region(kUpdateButton)->enabled);
    for (int state : {1, 2, 6}) {
        h.model().updater.state = state;
        h.paint();
        EXPECT_FALSE(h.region(kUpdateButton)->enabled) << state;
    }
    EXPECT_TRUE(h.hasText(L"Update checks are off in this build of Tovenmar. Get new versions "
                          L"from where you got this one."));
    EXPECT_FALSE(h.region(kAutoUpdate)->enabled);
    h.model().updater.state = 3;
    h.model().updater.version = "1.2.0";
    h.paint();
    EXPECT_TRUE(h.hasText(L"Restart now"));
    EXPECT_TRUE(h.region(kUpdateButton)->enabled);
    h.click(kUpdateButton);
    h.model().updater.state = 4;
    h.paint();
    h.click(kUpdateButton);
    EXPECT_EQ(h.rec().calls, (std::vector<std::string>{"restartNow", "checkNow"}));
}

TEST(Pages, ShortcutsListTheirBindings) {
    PanelModel m;
    m.keyName = L"Right Alt";
    m.shortcutTexts = {{L"Home", L"Right Alt + H"}, {L"Back", L"Not set"}};
    Harness h(m);
    h.showPage(Page::Shortcuts);
    EXPECT_TRUE(h.hasText(L"Tovenmar key"));
    EXPECT_TRUE(h.hasText(L"Right Alt + H"));
    EXPECT_TRUE(h.hasText(L"Not set"));
    EXPECT_NE(h.region(kShortcutFirst + 1), nullptr);
    EXPECT_EQ(h.region(kShortcutFirst + 2), nullptr);
    EXPECT_TRUE(h.hasText(L"Saved in %LOCALAPPDATA%\\Tovenmar\\shortcuts.ini."));
    h.click(kResetShortcuts);
    EXPECT_EQ(h.rec().calls, (std::vector<std::string>{"resetShortcuts"}));
}

TEST(Pages, SidebarUpdateCardUntilLater) {
    PanelModel m;
    m.updater.state = 3;
    m.updater.version = "1.2.0";
    Harness h(m);
    EXPECT_TRUE(h.hasText(L"Update ready"));
    EXPECT_TRUE(h.hasText(L"Tovenmar 1.2.0 is downloaded."));
    // In the smallest window the card and the statistics share the sidebar: nothing is drawn
    // past its foot.
    h.model() = connectedModel();
    h.model().updater.state = 3;
    h.model().updater.version = "1.2.0";
    h.width = kMinClientWidth;
    h.height = kMinClientHeight;
    h.paint();
    EXPECT_TRUE(h.hasText(L"Update ready"));
    for (const auto& op : h.view().drawList().ops()) {
        if (op.rect.left < 248) {
            EXPECT_LE(op.rect.bottom, h.height);
        }
    }
    h.click(kCardLater);
    EXPECT_EQ(h.rec().calls, (std::vector<std::string>{"later"}));
    h.model().updateLater = true;
    h.paint();
    EXPECT_FALSE(h.hasText(L"Update ready"));
    EXPECT_EQ(h.region(kCardRestart), nullptr);
}

TEST(Pages, TheStatusLineFitsTheSmallestWindowAndThePageScrollsAboveIt) {
    PanelModel m = connectedModel();
    m.activityText =
        "2 of 3 files went to the phone. Couldn't install a-very-long-name-that-go\xE2\x80\xA6"
        "-on-2026.apk: INSTALL_FAILED_VERSION_DOWNGRADE.";
    m.activityFailed = true;
    Harness h(m);
    h.width = kMinClientWidth;
    h.height = kMinClientHeight;
    h.paint();
    const DrawOp* line = h.textOp(L"2 of 3 files went to the phone.");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->color.rgb, colors::kAmber);
    EXPECT_LE(line->rect.right, h.width);
    EXPECT_LE(line->rect.bottom, h.height);
    FixedMeasurer fm;
    EXPECT_LE(fm.measure(line->text, line->font, line->rect.width(), true).height,
              line->rect.height() + 0.5f);
    for (const HitRegion& r : h.view().regions()) {
        if (r.rect.left >= 248) {
            EXPECT_LE(r.rect.bottom, line->rect.top) << r.hit;
        }
    }
    h.model().activityText.clear();
    h.paint();
    EXPECT_EQ(h.textOp(L"2 of 3 files"), nullptr);
}

TEST(Pages, EveryPageFitsItsTextsInsideTheColumn) {
    // Long help texts wrap inside the space left of the control instead of running under it.
    PanelModel m = connectedModel();
    m.shortcutTexts = {{L"Home", L"Right Alt + H"}};
    Harness h(m);
    for (int page = 0; page < kPageCount; ++page) {
        h.showPage(static_cast<Page>(page));
        for (const auto& op : h.view().drawList().ops()) {
            if (op.kind != DrawOp::Kind::Text || op.rect.left < 248) continue;
            EXPECT_LE(op.rect.right, h.width) << page;
            if (op.wrap) {
                FixedMeasurer fm;
                SizeF s = fm.measure(op.text, op.font, op.rect.width(), true);
                EXPECT_LE(s.height, op.rect.height() + 0.5f)
                    << page << " " << std::string(op.text.begin(), op.text.end());
            }
        }
    }
}

TEST(Pages, SeveralPhonesEachHaveTheirOwnStartOrStopAndShow) {
    PanelModel m = connectedModel();
    m.phones = {{"S1", "Google Pixel 7", true, false}};
    Harness h(m);
    h.showPage(Page::Settings);
    EXPECT_EQ(h.region(kStartAll), nullptr);  // one phone: the list is not drawn

    h.model().phones = {{"S1", "Google Pixel 7", true, false}, {"S2", "Galaxy S23", true, false}};
    h.model().phoneLinks = {{"S1", LinkState::Live}};
    h.model().shownKey = "S1";
    h.paint();
    EXPECT_TRUE(h.hasText(L"Live \u00b7 shown on these pages"));
    h.click(kStreamFirst);
    h.click(kStreamFirst + 1);
    h.click(kShowFirst + 1);
    h.click(kStartAll);
    EXPECT_EQ(h.rec().calls,
              (Calls{"stopPhone:S1", "startPhone:S2", "selectPhone:S2", "startAll"}));
}

TEST(Pages, ThePairingCardShowsTheModelsCodeAndItsControlsReachTheApp) {
    PanelModel m = connectedModel();
    m.wifi = true;
    m.phones = {{"S1", "Google Pixel 7", true, false}};
    m.chosenKey = "S1";
    m.wifiState.remembered = {{"R5CT100", "Google Pixel 8", "192.168.1.20:40001", "", false}};
    Harness h(m);
    h.showPage(Page::Settings);
    EXPECT_TRUE(
        h.hasText(L"Not connected. Tovenmar connects it when it's back on the network "
                  L"(last at 192.168.1.20:40001)."));
    h.click(kWifiPair);
    h.click(kUseOverWifi);
    h.click(kForgetFirst);
    EXPECT_EQ(h.rec().calls, (Calls{"openPairing", "useOverWifi", "forgetPhone:R5CT100"}));
    h.rec().calls.clear();

    // The App opens the card: its code, its help and its status, and the phones offering a code.
    const std::string text = "WIFI:T:ADB;S:tovenmar-k3v9q0x2m1;P:7hq2mz8c4w1pr5t0;;";
    WifiState& w = h.model().wifiState;
    w.cardOpen = true;
    w.step = WifiStep::Looking;
    w.pairingText = text;
    w.status = "Scan this code with the phone, or pick a phone below.";
    w.offers = {{"adb-R5CT200-AbCdEf", "192.168.1.21:37123"}};
    h.paint();
    const DrawOp* qr = nullptr;
    for (const DrawOp& op : h.view().drawList().ops()) {
        if (op.kind == DrawOp::Kind::QrCode) qr = &op;
    }
    ASSERT_NE(qr, nullptr);
    EXPECT_EQ(qr->qr, encodeQr(text));
    EXPECT_GE(qr->rect.width(), qrCodeSide(qr->qr.size));
    EXPECT_GE(qr->rect.left, 248);
    EXPECT_LE(qr->rect.bottom, 760);  // in sight in the window as it opens
    EXPECT_TRUE(
        h.hasText(L"On the phone: Developer options \u2192 Wireless debugging \u2192 Pair "
                  L"device with QR code, then scan this code."));
    EXPECT_TRUE(h.hasText(L"Scan this code with the phone, or pick a phone below."));
    EXPECT_FALSE(h.region(kWifiPair)->enabled);
    EXPECT_EQ(h.region(kPairRetry), nullptr);

    // Picking the phone fills in its address; the code typed goes with it.
    EXPECT_FALSE(h.region(kPairSubmit)->enabled);
    h.click(kOfferFirst);
    h.click(kPairCode);
    for (wchar_t c : std::wstring(L"48x2913")) h.view().character(c);
    h.paint();
    EXPECT_TRUE(h.hasText(L"Pair"));
    h.click(kPairSubmit);
    // Closed, the fields empty; an address alone only connects.
    h.click(kPairClose);
    h.click(kPairAddress);
    for (wchar_t c : std::wstring(L"10.0.0.5:41234")) h.view().character(c);
    h.paint();
    EXPECT_TRUE(h.hasText(L"Connect"));
    h.click(kPairSubmit);
    w.step = WifiStep::GaveUp;
    w.canRetry = true;
    h.paint();
    h.click(kPairRetry);
    EXPECT_EQ(h.rec().calls, (Calls{"pairWithCode:192.168.1.21:37123,482913", "closePairing",
                                    "pairWithCode:10.0.0.5:41234,", "openPairing"}));

    // Connected: the used code is neither shown nor kept; another phone gets a fresh card.
    h.rec().calls.clear();
    h.click(kPairCode);
    for (wchar_t c : std::wstring(L"482913")) h.view().character(c);
    w.step = WifiStep::Connected;
    w.canRetry = false;
    w.status = "Samsung SM-S911B is connected over Wi-Fi.";
    h.paint();
    for (const DrawOp& op : h.view().drawList().ops()) EXPECT_NE(op.kind, DrawOp::Kind::QrCode);
    EXPECT_EQ(h.region(kPairSubmit), nullptr);
    EXPECT_TRUE(h.hasText(L"Samsung SM-S911B is connected over Wi-Fi."));
    EXPECT_TRUE(h.region(kWifiPair)->enabled);
    h.click(kPairRetry);
    w.step = WifiStep::Looking;
    h.paint();
    EXPECT_FALSE(h.region(kPairSubmit)->enabled) << "the fields start empty";
    EXPECT_EQ(h.rec().calls, (Calls{"openPairing"}));
}

}  // namespace
}  // namespace tov::panel::test
