// The interaction rules: clicks, dropdowns, text fields, sliders, capture, scrolling, notice.
#include <gtest/gtest.h>

#include "panel/draw_diff.h"
#include "panel/sidebar.h"
#include "panel/tests/panel_harness.h"

namespace tov::panel::test {
namespace {

using namespace hit;
using Calls = std::vector<std::string>;

TEST(Interaction, ToggleFlipsOnlyWhenReleasedOnIt) {
    Harness h(connectedModel());
    const HitRegion* r = h.region(kAudio);
    ASSERT_NE(r, nullptr);
    float x = (r->rect.left + r->rect.right) / 2, y = (r->rect.top + r->rect.bottom) / 2;
    EXPECT_TRUE(h.view().mouseDown(x, y));
    h.view().mouseUp(x + 300, y, h.now);  // released elsewhere
    EXPECT_TRUE(h.rec().calls.empty());
    h.click(kAudio);
    h.click(kKeyboard);
    EXPECT_EQ(h.rec().calls, (Calls{"audio:0", "keyboard:0"}));
}

TEST(Interaction, PressOnOneControlAndReleaseOnAnotherDoesNothing) {
    Harness h(connectedModel());
    const HitRegion* a = h.region(kVideo);
    const HitRegion* b = h.region(kAudio);
    h.view().mouseDown(a->rect.left + 5, a->rect.top + 5);
    h.view().mouseUp(b->rect.left + 5, b->rect.top + 5, h.now);
    EXPECT_TRUE(h.rec().calls.empty());
}

TEST(Interaction, SegmentsReportTheirValue) {
    Harness h(connectedModel());
    h.click(kCaptureWith + 1);
    h.click(kCodec + 1);
    h.click(kCodec);  // already selected: nothing
    EXPECT_EQ(h.rec().calls, (Calls{"noAppMode:1", "codec:h264"}));
}

TEST(Interaction, DropdownOpensChoosesAndCloses) {
    Harness h(connectedModel());
    h.click(kEncoder);
    ASSERT_TRUE(h.view().state().dropdown.has_value());
    EXPECT_TRUE(h.hasText(L"The phone's own pick"));
    EXPECT_TRUE(h.hasText(L"Software, slow"));
    // Wheel is ignored while open.
    EXPECT_FALSE(h.view().wheel(-120));
    // Hovering an item marks it.
    const HitRegion* item = h.region(kListItemFirst + 2);
    ASSERT_NE(item, nullptr);
    h.view().mouseMove(item->rect.left + 4, item->rect.top + 4);
    EXPECT_EQ(h.view().state().hovered, kListItemFirst + 2);
    EXPECT_TRUE(h.view().overPressable());
    h.click(kListItemFirst + 2);
    EXPECT_FALSE(h.view().state().dropdown.has_value());
    EXPECT_EQ(h.rec().calls, (Calls{"encoder:c2.android.avc.encoder"}));
    // A press outside closes without choosing, and does not reach what lies beneath.
    h.click(kEncoder);
    ASSERT_TRUE(h.view().state().dropdown.has_value());
    const HitRegion* video = h.region(kVideo);
    h.view().mouseDown(video->rect.left + 2, video->rect.top + 2);
    h.view().mouseUp(video->rect.left + 2, video->rect.top + 2, h.now);
    EXPECT_FALSE(h.view().state().dropdown.has_value());
    EXPECT_EQ(h.rec().calls.size(), 1u);
    // Esc closes it too, and so does a resize.
    h.paint();
    h.click(kEncoder);
    EXPECT_EQ(h.view().keyDown(vk::kEscape, 0x01, 0, false), KeyOutcome::Handled);
    EXPECT_FALSE(h.view().state().dropdown.has_value());
    h.paint();
    h.click(kEncoder);
    h.view().resized();
    EXPECT_FALSE(h.view().state().dropdown.has_value());
}

TEST(Interaction, AutomaticEncoderAndCustomPresetChoices) {
    PanelModel m = connectedModel();
    m.encoder = "c2.qti.avc.encoder";
    Harness h(m);
    h.click(kEncoder);
    h.click(kListItemFirst);
    h.showPage(Page::Quality);
    h.click(kPreset);
    h.click(kListItemFirst + 2);  // after Smooth and Sharp
    EXPECT_EQ(h.rec().calls, (Calls{"encoder:", "preset:custom"}));
}

TEST(Interaction, TextFieldTakesDigitsUpToFortyAndCommitsOnEnter) {
    PanelModel m = connectedModel();
    m.preset = "custom";
    m.fps = 60;
    Harness h(m);
    h.showPage(Page::Quality);
    h.click(kFrameRate);
    EXPECT_EQ(h.view().state().edit.hit, kFrameRate);
    EXPECT_EQ(h.view().state().edit.text, L"60");
    h.view().character(L'\b');
    h.view().character(L'\b');
    h.view().character(L'a');  // letters do nothing
    h.view().character(L'.');  // no decimals in a frame rate
    h.view().character(L'9');
    h.view().character(L'0');
    EXPECT_EQ(h.view().state().edit.text, L"90");
    // WM_KEYDOWN goes on to the default procedure while editing; system keys are swallowed.
    EXPECT_EQ(h.view().keyDown(vk::kReturn, 0x1C, 0, false), KeyOutcome::PassOn);
    EXPECT_EQ(h.view().keyDown(0x12, 0x38, 0x10, true), KeyOutcome::Handled);
    EXPECT_TRUE(h.view().swallowsOtherKeyMessages());
    h.view().character(L'\r');
    EXPECT_FALSE(h.view().state().edit.active());
    EXPECT_EQ(h.rec().calls, (Calls{"option:fps=90"}));
    // The 41st character is refused.
    h.paint();
    h.click(kKeyframe);
    for (int i = 0; i < 45; ++i) h.view().character(L'1');
    EXPECT_EQ(h.view().state().edit.text.size(), 40u);
    // Esc abandons: nothing is reported.
    h.view().character(0x1B);
    EXPECT_FALSE(h.view().state().edit.active());
    EXPECT_EQ(h.rec().calls.size(), 1u);
}

TEST(Interaction, RefusedCommitMarksTheFieldAndKeepsEditing) {
    PanelModel m = connectedModel();
    m.preset = "custom";
    Harness h(m);
    h.showPage(Page::Quality);
    h.rec().optionAnswer = false;
    h.click(kFrameRate);
    h.view().character(L'9');
    h.view().character(L'\t');
    EXPECT_TRUE(h.view().state().edit.active());
    EXPECT_TRUE(h.view().state().edit.invalid);
    h.paint();
    bool redBorder = false;
    for (const auto& op : h.view().drawList().ops())
        if (op.kind == DrawOp::Kind::Stroke && op.color.rgb == 0xFF5A4E) redBorder = true;
    EXPECT_TRUE(redBorder);
    h.view().character(L'\b');  // any keystroke clears the mark
    EXPECT_FALSE(h.view().state().edit.invalid);
    // Pressing elsewhere commits and leaves the field, refused or not.
    h.rec().optionAnswer = true;
    const HitRegion* vbr = h.region(kVbr);
    h.view().mouseDown(vbr->rect.left + 1, vbr->rect.top + 1);
    EXPECT_FALSE(h.view().state().edit.active());
    EXPECT_EQ(h.rec().calls, (Calls{"option:fps=609", "option:fps=60"}));
}

TEST(Interaction, CaretBlinksWhileEditing) {
    PanelModel m = connectedModel();
    m.preset = "custom";
    m.fps = 30;
    Harness h(m);
    h.showPage(Page::Quality);
    h.click(kFrameRate);
    EXPECT_TRUE(h.hasText(L"30|"));
    h.now += 600;
    h.paint();
    EXPECT_TRUE(h.hasText(L"30"));
    EXPECT_FALSE(h.hasText(L"30|"));
}

TEST(Interaction, BitrateReportsOnlyOnRelease) {
    Harness h(connectedModel());  // max 60 Mbps
    h.showPage(Page::Quality);
    const HitRegion* r = h.region(kBitrateSlider);
    ASSERT_NE(r, nullptr);
    float y = (r->rect.top + r->rect.bottom) / 2;
    h.view().mouseDown(r->rect.left + 20, y);
    for (float x = r->rect.left + 20; x < r->rect.right; x += 10) h.view().mouseMove(x, y);
    h.paint();
    EXPECT_TRUE(h.rec().calls.empty());
    EXPECT_TRUE(h.hasText(L"60 Mbps"));  // the value shows while dragging
    h.view().mouseUp(r->rect.right + 50, y, h.now);
    EXPECT_EQ(h.rec().calls, (Calls{"bitrate:60000000"}));
}

TEST(Interaction, VolumeReportsWhileDraggingAndSnapsToOne) {
    Harness h;
    h.showPage(Page::Window);
    const HitRegion* r = h.region(kVolumeSlider);
    ASSERT_NE(r, nullptr);
    // The track lies 8 DIPs inside the region on each side.
    float left = r->rect.left + 8, right = r->rect.right - 8;
    float y = (r->rect.top + r->rect.bottom) / 2;
    h.view().mouseDown(left + (right - left) * 0.51f, y);
    EXPECT_EQ(h.rec().calls, (Calls{"volume:1.00"}));
    h.view().mouseMove(left + (right - left) * 0.49f, y);  // still 1: nothing new
    h.view().mouseMove(left + (right - left) * 1.0f, y);
    h.view().mouseUp(left + (right - left) * 1.0f, y, h.now);
    EXPECT_EQ(h.rec().calls, (Calls{"volume:1.00", "volume:4.00"}));
}

TEST(Interaction, SpeedSliderReportsThePosition) {
    PanelModel m;
    m.deviceMode = true;
    m.accel = false;
    Harness h(m);
    h.showPage(Page::Input);
    const HitRegion* r = h.region(kSpeedSlider);
    float left = r->rect.left + 8, right = r->rect.right - 8;
    float y = (r->rect.top + r->rect.bottom) / 2;
    h.view().mouseDown(left + (right - left) * 0.25f, y);
    h.view().mouseUp(left + (right - left) * 0.25f, y, h.now);
    EXPECT_EQ(h.rec().calls, (Calls{"speed:0.25"}));
}

TEST(Interaction, ShortcutCapture) {
    PanelModel m;
    m.shortcutTexts = {{L"Home", L"Right Alt + H"}, {L"Back", L"Right Alt + B"}};
    Harness h(m);
    h.showPage(Page::Shortcuts);
    h.click(kShortcutFirst);
    ASSERT_EQ(h.view().state().capture, 0);
    EXPECT_TRUE(h.hasText(L"Press keys\u2026"));
    // Esc cancels and leaves the binding alone.
    EXPECT_EQ(h.view().keyDown(vk::kEscape, 0x01, 0, false), KeyOutcome::Handled);
    EXPECT_FALSE(h.view().state().capture.has_value());
    EXPECT_TRUE(h.rec().calls.empty());
    // Backspace clears.
    h.paint();
    h.click(kShortcutFirst + 1);
    h.view().keyDown(vk::kBack, 0x0E, 0, false);
    EXPECT_EQ(h.rec().calls, (Calls{"shortcut:1,0,0"}));
    // A lone modifier waits; the next key sets the binding with the modifiers held.
    h.paint();
    h.click(kShortcutFirst);
    EXPECT_TRUE(h.view().swallowsOtherKeyMessages());
    h.view().keyDown(0x12, 0x138, 0x20, true);
    EXPECT_TRUE(h.view().state().capture.has_value());
    h.view().keyDown('K', 0x25, 0x24, true);
    EXPECT_FALSE(h.view().state().capture.has_value());
    EXPECT_EQ(h.rec().calls.back(), "shortcut:0,24,25");
}

TEST(Interaction, TovenmarKeyCanBeAModifier) {
    Harness h;
    h.showPage(Page::Shortcuts);
    h.click(kTovenmarKey);
    h.view().keyDown(0x11, 0x11D, 0x02, false);  // Right Ctrl alone
    EXPECT_FALSE(h.view().state().capture.has_value());
    EXPECT_EQ(h.rec().calls, (Calls{"shortcut:-1,0,11d"}));
}

TEST(Interaction, CaptureEndsOnPressElsewhereAndOnPageSwitch) {
    PanelModel m;
    m.shortcutTexts = {{L"Home", L"Right Alt + H"}};
    Harness h(m);
    h.showPage(Page::Shortcuts);
    h.click(kShortcutFirst);
    h.click(kTovenmarKey);  // another key field moves the capture
    EXPECT_EQ(h.view().state().capture, -1);
    h.view().mouseDown(600, 5);  // empty space
    EXPECT_FALSE(h.view().state().capture.has_value());
    h.click(kShortcutFirst);
    h.showPage(Page::Stream);
    EXPECT_FALSE(h.view().state().capture.has_value());
    EXPECT_TRUE(h.rec().calls.empty());
}

TEST(Interaction, ScrollIsClampedAtTheNextPaintAndResetByPageSwitch) {
    PanelModel m = connectedModel();
    Harness h(m);
    h.height = 500;
    h.paint();
    h.paint();  // the clamp uses the previous paint's content height
    float content = h.view().state().contentHeight;
    ASSERT_GT(content, 500);
    h.view().wheel(-120);
    EXPECT_FLOAT_EQ(h.view().state().scroll, 56);
    for (int i = 0; i < 50; ++i) h.view().wheel(-120);
    h.paint();
    EXPECT_FLOAT_EQ(h.view().state().scroll, content - 500);
    h.view().wheel(120 * 100);
    h.paint();
    EXPECT_FLOAT_EQ(h.view().state().scroll, 0);
    h.view().wheel(-240);
    h.paint();
    EXPECT_GT(h.view().state().scroll, 0);
    // The thumb sits at the right edge.
    bool thumb = false;
    for (const auto& op : h.view().drawList().ops())
        if (op.kind == DrawOp::Kind::Fill && op.rect.left == h.width - 9 &&
            op.rect.right == h.width - 6)
            thumb = true;
    EXPECT_TRUE(thumb);
    h.showPage(Page::Window);
    EXPECT_FLOAT_EQ(h.view().state().scroll, 0);
}

TEST(Interaction, ScrolledContentIsHitWhereItIsDrawn) {
    Harness h(connectedModel());
    h.height = 500;
    h.paint();
    h.paint();
    // Below the view: not pressable until scrolled into it.
    EXPECT_EQ(h.region(kEncoder), nullptr);
    ASSERT_NE(h.region(kAudio), nullptr);
    float before = h.region(kAudio)->rect.top;
    h.view().wheel(-120);
    h.paint();
    ASSERT_NE(h.region(kAudio), nullptr);
    EXPECT_FLOAT_EQ(h.region(kAudio)->rect.top, before - 56);
    h.click(kAudio);
    EXPECT_EQ(h.rec().calls, (Calls{"audio:0"}));
    for (int i = 0; i < 20; ++i) h.view().wheel(-120);
    h.paint();
    h.paint();
    EXPECT_NE(h.region(kEncoder), nullptr);
}

TEST(Interaction, WhatsNewNoticeIsModal) {
    PanelModel m = connectedModel();
    m.whatsNewVersion = "1.1.0";
    Harness h(m);
    EXPECT_TRUE(h.hasText(L"What's new in Tovenmar 1.1.0"));
    EXPECT_TRUE(h.hasText(L"Tovenmar was updated to version 1.1.0."));
    ASSERT_EQ(h.view().regions().size(), 1u);
    EXPECT_EQ(h.view().regions()[0].hit, kGotIt);
    // Clicks anywhere else, the wheel and page keys do nothing.
    for (float x = 10; x < h.width; x += 97)
        for (float y = 10; y < h.height; y += 83) {
            if (h.view().regions()[0].rect.contains(x, y)) continue;
            h.view().mouseDown(x, y);
            h.view().mouseUp(x, y, h.now);
        }
    EXPECT_FALSE(h.view().wheel(-120));
    EXPECT_TRUE(h.rec().calls.empty());
    EXPECT_EQ(h.view().state().page, Page::Stream);
    h.click(kGotIt);
    EXPECT_EQ(h.view().keyDown(vk::kReturn, 0x1C, 0, false), KeyOutcome::Handled);
    EXPECT_EQ(h.view().keyDown(vk::kEscape, 0x01, 0, false), KeyOutcome::Handled);
    EXPECT_EQ(h.rec().calls, (Calls{"whatsNewRead", "whatsNewRead", "whatsNewRead"}));
    h.model().whatsNewNotes = "Faster start.";
    h.paint();
    EXPECT_TRUE(h.hasText(L"Faster start."));
}

TEST(Interaction, FullScreenByF11AndEsc) {
    Harness h;
    std::vector<bool> seen;
    h.view().onFullScreen = [&seen](bool on) { seen.push_back(on); };
    EXPECT_EQ(h.view().keyDown(vk::kEscape, 0x01, 0, false), KeyOutcome::PassOn);
    h.view().keyDown(vk::kF11, 0x57, 0, false);
    EXPECT_TRUE(h.view().state().fullScreen);
    h.view().keyDown(vk::kEscape, 0x01, 0, false);
    h.view().keyDown(vk::kF11, 0x57, 0, false);
    h.view().keyDown(vk::kF11, 0x57, 0, false);
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true, false}));
}

TEST(Interaction, MainButtonAndPages) {
    PanelModel m = connectedModel();
    Harness h(m);
    h.click(kMainButton);
    h.model().reinstallOffered = true;
    h.paint();
    h.click(kMainButton);
    EXPECT_EQ(h.rec().calls, (Calls{"startOrStop", "reinstall"}));
    h.showPage(Page::Settings);
    EXPECT_EQ(h.view().state().page, Page::Settings);
    EXPECT_TRUE(h.hasText(L"Include passwords"));
    h.click(kPasswords);
    h.click(kToPc);
    EXPECT_EQ(h.rec().calls.back(), "clipboard:topc=0");
}

TEST(Interaction, HoverAndCursor) {
    Harness h(connectedModel());
    const HitRegion* r = h.region(kVideo);
    EXPECT_TRUE(h.view().mouseMove(r->rect.left + 1, r->rect.top + 1));
    EXPECT_TRUE(h.view().overPressable());
    EXPECT_FALSE(h.view().mouseMove(r->rect.left + 2, r->rect.top + 1));  // same hit: no repaint
    h.model().linkState = LinkState::NoDevice;
    h.paint();
    EXPECT_FALSE(h.view().overPressable());  // disabled now
    EXPECT_TRUE(h.view().mouseLeave());
    EXPECT_EQ(h.view().state().hovered, 0);
}

TEST(Interaction, PhoneChoicePinsAndAutomaticUnpins) {
    PanelModel m;
    m.phones = {{"key-a", "Pixel 8", true, false}};
    m.pinned = "key-b";
    m.pinnedName = "Galaxy";
    Harness h(m);
    h.showPage(Page::Settings);
    EXPECT_TRUE(h.hasText(L"Galaxy"));
    h.click(kPhone);
    ASSERT_TRUE(h.view().state().dropdown.has_value());
    EXPECT_EQ(h.view().state().dropdown->items.size(), 3u);
    EXPECT_EQ(h.view().state().dropdown->current, 2);
    EXPECT_EQ(h.view().state().dropdown->items[2].second, L"Not connected");
    h.click(kListItemFirst + 1);
    h.click(kPhone);
    h.click(kListItemFirst);
    EXPECT_EQ(h.rec().calls, (Calls{"pinPhone:key-a", "pinPhone:"}));
}

TEST(Interaction, ShapeChoices) {
    PanelModel m = connectedModel();
    m.aspect = 1;
    Harness h(m);
    h.showPage(Page::Quality);
    h.click(kShape);
    h.click(kListItemFirst + 1);  // 16:9
    h.click(kShape);
    h.click(kListItemFirst + 4);  // Your own ratio, nothing typed yet: the row shows
    EXPECT_NE(h.region(kRatio), nullptr);
    h.click(kRatio);
    for (wchar_t c : std::wstring(L"32:9x")) h.view().character(c);
    h.view().character(L'\r');
    h.click(kFit + 2);
    h.click(kMatchPhone);
    EXPECT_EQ(h.rec().calls, (Calls{"option:aspect=2", "option:ratio=32:9", "option:fit=2",
                                    "option:matchphone=1"}));
}

}  // namespace
}  // namespace tov::panel::test

namespace tov::panel::test {
namespace {

TEST(Interaction, ALongListScrollsItsItemsInsteadOfThePage) {
    PanelModel m = connectedModel();
    PhoneInfo::Encoder e = m.encoders[0];
    for (int i = 0; i < 30; ++i) {
        e.name = "encoder." + std::to_string(i);
        m.encoders.push_back(e);
    }
    Harness h(m);
    h.height = 800;
    h.paint();
    h.click(hit::kEncoder);
    ASSERT_TRUE(h.view().state().dropdown.has_value());
    // Every visible item lies inside the window; the last one is not visible yet.
    for (const auto& r : h.view().regions())
        if (hit::isListItem(r.hit)) {
            EXPECT_GE(r.rect.top, 0);
            EXPECT_LE(r.rect.bottom, h.height);
        }
    int last = hit::kListItemFirst + 32;
    EXPECT_EQ(h.region(last), nullptr);
    float pageScroll = h.view().state().scroll;
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(h.view().wheel(-120));
    h.paint();
    EXPECT_EQ(h.view().state().scroll, pageScroll);
    ASSERT_NE(h.region(last), nullptr);
    h.click(last);
    EXPECT_EQ(h.rec().calls, (std::vector<std::string>{"encoder:encoder.29"}));
}

TEST(Interaction, LostCaptureEndsADragWithItsValue) {
    Harness h(connectedModel());
    h.showPage(Page::Quality);
    const HitRegion* r = h.region(hit::kBitrateSlider);
    ASSERT_NE(r, nullptr);
    float y = (r->rect.top + r->rect.bottom) / 2;
    h.view().mouseDown(r->rect.left + 8, y);
    h.view().captureLost(r->rect.left + 8);
    EXPECT_EQ(h.rec().calls, (std::vector<std::string>{"bitrate:8000000"}));
    // Nothing is left pressed or dragged.
    h.view().mouseMove(r->rect.right, y);
    h.view().mouseUp(r->rect.right, y, h.now);
    EXPECT_EQ(h.rec().calls.size(), 1u);
}

TEST(Interaction, GrowingTheWindowPullsTheScrollBack) {
    Harness h(connectedModel());
    h.height = 400;
    h.paint();
    h.paint();
    for (int i = 0; i < 30; ++i) h.view().wheel(-120);
    h.paint();
    float content = h.view().state().contentHeight;
    EXPECT_FLOAT_EQ(h.view().state().scroll, content - 400);
    h.height = 700;
    h.paint();
    EXPECT_FLOAT_EQ(h.view().state().scroll, std::max(0.0f, content - 700));
}

// The window repaints only where the drawing changed: a new statistic is a small area inside the
// sidebar, the same model is nothing at all, and only the live pill asks for frames of its own.
TEST(Interaction, ARepaintCoversOnlyWhatChanged) {
    Harness h(connectedModel());
    h.model().linkState = LinkState::Ready;
    h.paint();
    const RectF window{0, 0, h.width, h.height};
    DrawList before = h.view().drawList();
    EXPECT_EQ(h.view().animationIntervalMs(), 0u);
    EXPECT_FALSE(h.view().pulseDot());
    h.now += 5000;
    h.paint();
    EXPECT_FALSE(changedArea(before, h.view().drawList(), window));

    h.model().linkState = LinkState::Live;
    h.model().streaming = true;
    h.paint();
    EXPECT_GT(h.view().animationIntervalMs(), 0u);
    before = h.view().drawList();
    h.model().statFps = 57;
    h.paint();
    auto area = changedArea(before, h.view().drawList(), window);
    ASSERT_TRUE(area);
    EXPECT_LE(area->right, kSidebarWidth);
    EXPECT_LT(area->width() * area->height(), 0.05f * h.width * h.height);

    // The pulse is the window's to animate: time alone changes nothing in the drawing.
    ASSERT_TRUE(h.view().pulseDot());
    before = h.view().drawList();
    h.now += 300;
    h.paint();
    EXPECT_FALSE(changedArea(before, h.view().drawList(), window));

    h.model().activityText = "photo.jpg copied to the phone's Download folder.";
    before = h.view().drawList();
    h.paint();
    area = changedArea(before, h.view().drawList(), window);
    ASSERT_TRUE(area);
}

}  // namespace
}  // namespace tov::panel::test
