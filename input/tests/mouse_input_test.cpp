#include "input/mouse_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tov {
namespace {

struct Touch {
    TouchAction action;
    uint8_t pointer;
    float x, y;
};

class RecordingWindow : public MouseWindow {
  public:
    void focus() override { calls.push_back("focus"); }
    void setCapture() override {
        calls.push_back("setCapture");
        capture = true;
    }
    void releaseCapture() override {
        calls.push_back("releaseCapture");
        capture = false;
    }
    bool hasCapture() override { return capture; }
    bool registerRawMouse() override {
        calls.push_back("register");
        return registerWorks;
    }
    void unregisterRawMouse() override { calls.push_back("unregister"); }
    void clipCursor() override { calls.push_back("clip"); }
    void unclipCursor() override { calls.push_back("unclip"); }
    void hideCursor() override { calls.push_back("hide"); }
    void showArrowCursor() override { calls.push_back("arrow"); }

    std::vector<std::string> calls;
    bool capture = false;
    bool registerWorks = true;
};

struct Motion {
    uint8_t buttons;
    int32_t dx, dy, wheel, hWheel;
    bool operator==(const Motion&) const = default;
};

class MouseInputTest : public ::testing::Test {
  protected:
    MouseInputTest() {
        MouseTargets t;
        t.touch = [this](TouchAction a, uint8_t p, float x, float y) {
            touches.push_back({a, p, x, y});
        };
        t.scroll = [this](float x, float y, float h, float v) { scrolls.push_back({x, y, h, v}); };
        t.pressKey = [this](int32_t code) { keys.push_back(code); };
        t.mouseMotion = [this](uint8_t b, int32_t dx, int32_t dy, int32_t w, int32_t hw) {
            motions.push_back({b, dx, dy, w, hw});
        };
        t.captureChanged = [this](bool on) { captureChanges.push_back(on); };
        t.releaseKeys = [this] { ++releaseKeys; };
        input = std::make_unique<MouseInput>(window, t);
        input->setMouseInput(true);
        releaseKeys = 0;
    }

    static MouseEvent at(MouseEventKind kind, float x, float y, bool ctrl = false) {
        MouseEvent e;
        e.kind = kind;
        e.point = {x, y, x >= 0 && x <= 1 && y >= 0 && y <= 1};
        e.ctrl = ctrl;
        return e;
    }
    static MouseEvent wheel(MouseEventKind kind, int32_t delta, float x = 0.5f, float y = 0.5f) {
        MouseEvent e = at(kind, x, y);
        e.wheelDelta = delta;
        return e;
    }
    void expectTouch(size_t i, TouchAction a, uint8_t p, float x, float y) {
        ASSERT_LT(i, touches.size());
        EXPECT_EQ(touches[i].action, a) << i;
        EXPECT_EQ(touches[i].pointer, p) << i;
        EXPECT_NEAR(touches[i].x, x, 1e-6) << i;
        EXPECT_NEAR(touches[i].y, y, 1e-6) << i;
    }

    RecordingWindow window;
    std::unique_ptr<MouseInput> input;
    std::vector<Touch> touches;
    std::vector<std::array<float, 4>> scrolls;
    std::vector<int32_t> keys;
    std::vector<Motion> motions;
    std::vector<bool> captureChanges;
    int releaseKeys = 0;
};

TEST_F(MouseInputTest, TapAndDragFollowTheFingerClampedToThePicture) {
    EXPECT_TRUE(input->onMouse(at(MouseEventKind::LeftDown, 0.2f, 0.3f)));
    EXPECT_TRUE(window.capture);
    EXPECT_TRUE(input->onMouse(at(MouseEventKind::Move, 1.4f, -0.2f)));  // beyond the edge
    EXPECT_TRUE(input->onMouse(at(MouseEventKind::LeftUp, 0.9f, 0.5f)));
    EXPECT_FALSE(window.capture);
    ASSERT_EQ(touches.size(), 3u);
    expectTouch(0, TouchAction::Down, 0, 0.2f, 0.3f);
    expectTouch(1, TouchAction::Move, 0, 1.0f, 0.0f);
    expectTouch(2, TouchAction::Up, 0, 0.9f, 0.5f);
    // Moves without a drag, and a press beside the picture, do nothing.
    EXPECT_FALSE(input->onMouse(at(MouseEventKind::Move, 0.5f, 0.5f)));
    EXPECT_FALSE(input->onMouse(at(MouseEventKind::LeftDown, 0.5f, 1.2f)));
    EXPECT_FALSE(input->onMouse(at(MouseEventKind::LeftUp, 0.5f, 0.5f)));
    EXPECT_EQ(touches.size(), 3u);
}

TEST_F(MouseInputTest, CtrlDragPinchesWithAFingerMirroredThroughTheCentre) {
    input->onMouse(at(MouseEventKind::LeftDown, 0.3f, 0.4f, true));
    input->onMouse(at(MouseEventKind::Move, 0.2f, 0.1f, false));  // Ctrl let go: still a pinch
    input->onMouse(at(MouseEventKind::LeftUp, 0.1f, 0.1f));
    ASSERT_EQ(touches.size(), 6u);
    expectTouch(0, TouchAction::Down, 0, 0.3f, 0.4f);
    expectTouch(1, TouchAction::Down, 1, 0.7f, 0.6f);
    expectTouch(2, TouchAction::Move, 0, 0.2f, 0.1f);
    expectTouch(3, TouchAction::Move, 1, 0.8f, 0.9f);
    expectTouch(4, TouchAction::Up, 0, 0.1f, 0.1f);
    expectTouch(5, TouchAction::Up, 1, 0.9f, 0.9f);
}

TEST_F(MouseInputTest, LosingTheCaptureLiftsTheFingersWhereTheyWere) {
    input->onMouse(at(MouseEventKind::LeftDown, 0.3f, 0.4f, true));
    input->onMouse(at(MouseEventKind::Move, 0.35f, 0.45f));
    MouseEvent lost = at(MouseEventKind::CaptureChanged, 0, 0);
    lost.toOtherWindow = true;
    EXPECT_TRUE(input->onMouse(lost));
    ASSERT_EQ(touches.size(), 6u);
    expectTouch(4, TouchAction::Up, 0, 0.35f, 0.45f);
    expectTouch(5, TouchAction::Up, 1, 0.65f, 0.55f);
    EXPECT_EQ(releaseKeys, 1);
    EXPECT_FALSE(window.capture);
    EXPECT_FALSE(input->onMouse(lost));  // no drag any more
}

TEST_F(MouseInputTest, EndDragLiftsAnActiveDragAndAlwaysReleasesKeys) {
    input->endDrag();
    EXPECT_TRUE(touches.empty());
    EXPECT_EQ(releaseKeys, 1);
    input->onMouse(at(MouseEventKind::LeftDown, 0.5f, 0.5f));
    input->endDrag();
    ASSERT_EQ(touches.size(), 2u);
    expectTouch(1, TouchAction::Up, 0, 0.5f, 0.5f);
    EXPECT_EQ(releaseKeys, 2);
    EXPECT_FALSE(window.capture);
}

TEST_F(MouseInputTest, ButtonsAndWheelInTouchMode) {
    input->onMouse(at(MouseEventKind::RightDown, 5.0f, 5.0f));  // anywhere in the window
    input->onMouse(at(MouseEventKind::MiddleDown, 0.5f, 0.5f));
    EXPECT_EQ(keys, (std::vector<int32_t>{4, 3}));
    EXPECT_TRUE(input->onMouse(wheel(MouseEventKind::Wheel, 60, 0.25f, 0.75f)));
    EXPECT_TRUE(input->onMouse(wheel(MouseEventKind::HWheel, -240)));
    EXPECT_FALSE(input->onMouse(wheel(MouseEventKind::Wheel, 120, 1.5f, 0.5f)));  // beside it
    ASSERT_EQ(scrolls.size(), 2u);
    EXPECT_EQ(scrolls[0], (std::array<float, 4>{0.25f, 0.75f, 0.0f, 0.5f}));
    EXPECT_EQ(scrolls[1], (std::array<float, 4>{0.5f, 0.5f, -2.0f, 0.0f}));
}

TEST_F(MouseInputTest, NothingHappensWhileMouseInputIsOff) {
    input->setMouseInput(false);
    EXPECT_FALSE(input->onMouse(at(MouseEventKind::LeftDown, 0.5f, 0.5f)));
    EXPECT_FALSE(input->onMouse(at(MouseEventKind::RightDown, 0.5f, 0.5f)));
    EXPECT_TRUE(touches.empty());
    EXPECT_TRUE(keys.empty());
}

TEST_F(MouseInputTest, DeviceModeCapturesOnAClickInsideThePicture) {
    input->setDeviceMode(true);
    window.calls.clear();
    EXPECT_FALSE(input->onMouse(at(MouseEventKind::LeftDown, 1.5f, 0.5f)));
    EXPECT_FALSE(input->captured());
    EXPECT_TRUE(input->onMouse(at(MouseEventKind::LeftDown, 0.5f, 0.5f)));
    EXPECT_TRUE(input->captured());
    EXPECT_EQ(window.calls, (std::vector<std::string>{"register", "focus", "clip", "hide"}));
    EXPECT_EQ(captureChanges, (std::vector<bool>{true}));
    EXPECT_TRUE(motions.empty());  // the click itself is not sent
    // Every other mouse message is swallowed while captured.
    EXPECT_TRUE(input->onMouse(at(MouseEventKind::RightDown, 0.5f, 0.5f)));
    EXPECT_TRUE(input->onMouse(wheel(MouseEventKind::Wheel, 120)));
    EXPECT_TRUE(keys.empty());
    EXPECT_TRUE(scrolls.empty());
    input->reclip();
    EXPECT_EQ(window.calls.back(), "clip");
}

TEST_F(MouseInputTest, AFailedRawInputRegistrationLeavesTheMouseFree) {
    window.registerWorks = false;
    input->setDeviceMode(true);
    EXPECT_FALSE(input->onMouse(at(MouseEventKind::LeftDown, 0.5f, 0.5f)));
    EXPECT_FALSE(input->captured());
    EXPECT_TRUE(captureChanges.empty());
}

TEST_F(MouseInputTest, RawInputBecomesMotionButtonsAndWheelSteps) {
    input->setDeviceMode(true);
    input->onRawInput({false, 5, 5, 0, 0});  // not captured: ignored
    EXPECT_TRUE(motions.empty());
    input->onMouse(at(MouseEventKind::LeftDown, 0.5f, 0.5f));
    input->onRawInput({false, 3, -4, 0, 0});
    input->onRawInput({true, 300, 300, 0, 0});  // absolute: no motion, nothing changed
    input->onRawInput({false, 0, 0, raw_button::kLeftDown | raw_button::kButton5Down, 0});
    input->onRawInput({false, 0, 0, raw_button::kLeftUp | raw_button::kRightDown, 0});
    input->onRawInput({false, 0, 0, raw_button::kMiddleDown | raw_button::kButton4Down, 0});
    input->onRawInput({false, 0, 0,
                       raw_button::kMiddleUp | raw_button::kButton4Up | raw_button::kButton5Up |
                           raw_button::kRightUp,
                       0});
    EXPECT_EQ(motions, (std::vector<Motion>{{0, 3, -4, 0, 0},
                                            {0x11, 0, 0, 0, 0},
                                            {0x12, 0, 0, 0, 0},
                                            {0x1E, 0, 0, 0, 0},
                                            {0x00, 0, 0, 0, 0}}));
}

TEST_F(MouseInputTest, SmallWheelStepsAddUpToWholeSteps) {
    input->setDeviceMode(true);
    input->onMouse(at(MouseEventKind::LeftDown, 0.5f, 0.5f));
    for (int i = 0; i < 6; ++i) input->onRawInput({false, 0, 0, raw_button::kWheel, 40});
    EXPECT_EQ(motions, (std::vector<Motion>{{0, 0, 0, 1, 0}, {0, 0, 0, 1, 0}}));
    motions.clear();
    // Backwards, the remainder keeps its sign: -50, -100, -150 gives one step back.
    for (int i = 0; i < 3; ++i) input->onRawInput({false, 0, 0, raw_button::kHWheel, -50});
    EXPECT_EQ(motions, (std::vector<Motion>{{0, 0, 0, 0, -1}}));
    motions.clear();
    input->onRawInput({false, 0, 0, raw_button::kWheel, 360});
    EXPECT_EQ(motions, (std::vector<Motion>{{0, 0, 0, 3, 0}}));
}

TEST_F(MouseInputTest, ReleasingTheCaptureLetsGoOfHeldButtons) {
    input->setDeviceMode(true);
    input->onMouse(at(MouseEventKind::LeftDown, 0.5f, 0.5f));
    input->onRawInput({false, 0, 0, raw_button::kRightDown, 0});
    window.calls.clear();
    motions.clear();
    input->releaseCapture();
    EXPECT_EQ(motions, (std::vector<Motion>{{0, 0, 0, 0, 0}}));
    EXPECT_EQ(window.calls, (std::vector<std::string>{"unregister", "unclip", "arrow"}));
    EXPECT_EQ(captureChanges, (std::vector<bool>{true, false}));
    EXPECT_FALSE(input->captured());
    input->releaseCapture();  // only once
    EXPECT_EQ(captureChanges.size(), 2u);
    // Capturing again starts with no buttons and empty wheel remainders.
    input->onMouse(at(MouseEventKind::LeftDown, 0.5f, 0.5f));
    motions.clear();
    input->onRawInput({false, 0, 0, raw_button::kWheel, 80});
    EXPECT_TRUE(motions.empty());
}

TEST_F(MouseInputTest, AModeChangeReleasesTheCaptureAndEndsADrag) {
    input->onMouse(at(MouseEventKind::LeftDown, 0.5f, 0.5f));
    input->setDeviceMode(true);
    ASSERT_EQ(touches.size(), 2u);
    EXPECT_EQ(touches[1].action, TouchAction::Up);
    EXPECT_EQ(releaseKeys, 1);
    input->onMouse(at(MouseEventKind::LeftDown, 0.5f, 0.5f));
    EXPECT_TRUE(input->captured());
    input->setMouseInput(false);
    EXPECT_FALSE(input->captured());
    input->setMouseInput(false);  // unchanged: nothing more
    EXPECT_EQ(releaseKeys, 2);
}

TEST(PicturePoint, FitsThePictureWithBars) {
    // 1000 x 1000 client, 500 x 1000 picture: the picture spans x 250..750.
    PicturePoint p = picturePoint(250, 0, 1000, 1000, 500, 1000);
    EXPECT_FLOAT_EQ(p.x, 0);
    EXPECT_FLOAT_EQ(p.y, 0);
    EXPECT_TRUE(p.inside);
    p = picturePoint(500, 500, 1000, 1000, 500, 1000);
    EXPECT_FLOAT_EQ(p.x, 0.5f);
    p = picturePoint(100, 500, 1000, 1000, 500, 1000);
    EXPECT_FLOAT_EQ(p.x, -0.3f);
    EXPECT_FALSE(p.inside);
    // Landscape picture in a tall client: bars above and below.
    p = picturePoint(50, 100, 100, 400, 200, 100);
    EXPECT_FLOAT_EQ(p.x, 0.5f);
    EXPECT_FLOAT_EQ(p.y, -1.5f);
    EXPECT_FALSE(p.inside);
    // Unknown picture size: the client is the picture. No client: nothing is inside.
    p = picturePoint(25, 75, 100, 100, 0, 0);
    EXPECT_FLOAT_EQ(p.x, 0.25f);
    EXPECT_TRUE(p.inside);
    EXPECT_FALSE(picturePoint(0, 0, 0, 0, 100, 100).inside);
}

}  // namespace
}  // namespace tov
