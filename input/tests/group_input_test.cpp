#include "input/group_input.h"

#include <gtest/gtest.h>

namespace tov {
namespace {

std::vector<std::string> keysOf(const std::vector<PhonePoint>& points) {
    std::vector<std::string> keys;
    for (const PhonePoint& p : points) keys.push_back(p.key);
    return keys;
}

using Keys = std::vector<std::string>;

class GroupInputTest : public ::testing::Test {
  protected:
    // A, the source, is not live: its window still drives it, as with one phone.
    GroupView view_{"A", {{"A", false}, {"B", true}, {"C", false}, {"D", true}}, true};
    GroupInput group_;
};

TEST_F(GroupInputTest, EveryLivePhoneGetsTheSameRelativePointOnlyWhileOn) {
    const std::vector<PhonePoint> expected{{"A", 0.25f, 0.75f}, {"B", 0.25f, 0.75f},
                                           {"D", 0.25f, 0.75f}};
    EXPECT_EQ(group_.touch(view_, TouchAction::Down, 0, 0.25f, 0.75f), expected);
    EXPECT_EQ(group_.touch(view_, TouchAction::Up, 0, 0.25f, 0.75f), expected);
    EXPECT_EQ(group_.scroll(view_, 0.25f, 0.75f), expected);
    EXPECT_EQ(group_.key(view_, true, 4), (Keys{"A", "B", "D"}));
    EXPECT_EQ(group_.key(view_, false, 4), (Keys{"A", "B", "D"}));

    view_.everyPhone = false;
    EXPECT_EQ(keysOf(group_.touch(view_, TouchAction::Down, 0, 0.5f, 0.5f)), Keys{"A"});
    EXPECT_EQ(keysOf(group_.scroll(view_, 0.5f, 0.5f)), Keys{"A"});
    EXPECT_EQ(group_.key(view_, true, 4), Keys{"A"});
}

TEST_F(GroupInputTest, AGestureEndsOnThePhonesWhereItBeganAndNowhereElse) {
    // Turned off in the middle of a drag: the others still get its moves and its release.
    group_.touch(view_, TouchAction::Down, 0, 0.1f, 0.1f);
    view_.everyPhone = false;
    EXPECT_EQ(keysOf(group_.touch(view_, TouchAction::Move, 0, 0.2f, 0.2f)),
              (Keys{"A", "B", "D"}));
    EXPECT_EQ(keysOf(group_.touch(view_, TouchAction::Up, 0, 0.2f, 0.2f)), (Keys{"A", "B", "D"}));
    EXPECT_EQ(keysOf(group_.touch(view_, TouchAction::Move, 0, 0.3f, 0.3f)), Keys{"A"});

    // C comes live in the middle of one: it waits for the next press. D leaves: nothing more
    // goes to it, and its part ends with the gesture.
    view_.everyPhone = true;
    group_.touch(view_, TouchAction::Down, 1, 0.1f, 0.1f);
    view_.phones[2].live = true;
    view_.phones[3].live = false;
    EXPECT_EQ(keysOf(group_.touch(view_, TouchAction::Move, 1, 0.2f, 0.2f)), (Keys{"A", "B"}));
    EXPECT_EQ(keysOf(group_.touch(view_, TouchAction::Up, 1, 0.2f, 0.2f)), (Keys{"A", "B"}));
    view_.phones[3].live = true;
    EXPECT_EQ(keysOf(group_.touch(view_, TouchAction::Move, 1, 0.2f, 0.2f)), Keys{"A"});
    EXPECT_EQ(keysOf(group_.touch(view_, TouchAction::Down, 1, 0.2f, 0.2f)),
              (Keys{"A", "B", "C", "D"}));
}

TEST_F(GroupInputTest, AHeldKeyIsReleasedWhereItWasPressedWithItsRepeats) {
    EXPECT_EQ(group_.key(view_, true, 29), (Keys{"A", "B", "D"}));
    view_.everyPhone = false;
    view_.phones[2].live = true;
    EXPECT_EQ(group_.key(view_, true, 29), (Keys{"A", "B", "D"}));  // auto-repeat
    EXPECT_EQ(group_.key(view_, false, 29), (Keys{"A", "B", "D"}));
    EXPECT_EQ(group_.key(view_, false, 29), Keys{"A"});

    // A key and a touch pointer of the same number are not the same thing.
    view_.everyPhone = true;
    group_.touch(view_, TouchAction::Down, 0, 0.5f, 0.5f);
    view_.everyPhone = false;
    EXPECT_EQ(group_.key(view_, false, 0), Keys{"A"});
}

}  // namespace
}  // namespace tov
