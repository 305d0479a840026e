// Tovenmar.exe under Wine with the phone simulator: the user presses Start stream in the panel,
// the phone app is installed, the stream goes live, the picture appears in the video window, a
// click on it reaches the phone as a touch, and the settings are on disk afterwards.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/e2e_support.h"
#include "tools/phonesim/control_client.h"

namespace tov::e2e {
namespace {

using std::chrono::seconds;

// The filled "Start stream" button in the sidebar, found by its colour below the status text.
constexpr int kSidebarButtonX = 124;
constexpr const char* kAccent = "#3D7EF0";

bool contains(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& line : lines) {
        if (line.find(part) != std::string::npos) return true;
    }
    return false;
}

TEST(Stream, StartStreamGoesLiveShowsThePictureAndTakesClicks) {
    phonesim::PhoneSimulator sim;
    std::string error;
    ASSERT_TRUE(
        sim.start("phone p usb=E2E0PHONE1 manufacturer=Google model=\"Pixel 7\" app=none", &error))
        << error;

    WineSession wine;
    auto program = wine.start(windowsProgram("Tovenmar.exe"));
    ASSERT_TRUE(program) << "could not start Wine";

    std::string panel;
    ASSERT_TRUE(waitUntil([&] { return !(panel = findWindow("Tovenmar")).empty(); }, seconds(120)))
        << "the panel window did not appear";
    ASSERT_TRUE(waitUntil(
        [&] { return wine.readDataFile("tovenmar.log").find("link: ready") != std::string::npos; },
        seconds(60)))
        << wine.readDataFile("tovenmar.log");

    const std::string before = artefactPath("panel-ready.png");
    int buttonY = -1;
    ASSERT_TRUE(waitUntil(
        [&] {
            return screenshot(panel, before) &&
                   (buttonY = findColourInColumn(before, kSidebarButtonX, 100, 500, kAccent)) >= 0;
        },
        seconds(30)))
        << "no Start stream button in " << before;
    click(panel, kSidebarButtonX, buttonY + 12);

    ASSERT_TRUE(waitUntil(
        [&] { return wine.readDataFile("tovenmar.log").find("link: live") != std::string::npos; },
        seconds(90)))
        << wine.readDataFile("tovenmar.log");
    // The phone app was installed with the carried package, then started.
    EXPECT_TRUE(contains(sim.commands(), "install -r"));
    EXPECT_TRUE(contains(sim.commands(), "am start"));

    // The video window shows the phone's picture, not a flat colour.
    std::string video;
    ASSERT_TRUE(
        waitUntil([&] { return !(video = findWindow("Tovenmar.*Video")).empty(); }, seconds(30)));
    const std::string shot = artefactPath("video-live.png");
    EXPECT_TRUE(waitUntil([&] { return screenshot(video, shot) && brightnessSpread(shot) > 0.05; },
                          seconds(30)))
        << "the video window stayed flat: " << shot;
    screenshot(panel, artefactPath("panel-live.png"));

    // A click on the picture reaches the phone's input helper as a touch.
    ASSERT_TRUE(waitUntil([&] { return contains(sim.events("p"), "clipoptions"); }, seconds(60)))
        << "the input helper link did not come up";
    int width = 0, height = 0;
    ASSERT_TRUE(windowSize(video, width, height));
    click(video, width / 2, height / 2);
    EXPECT_TRUE(
        waitUntil([&] { return contains(sim.events("p"), "touch action=2"); }, seconds(20)));

    wine.killAll();
    sim.stop();
}

}  // namespace
}  // namespace tov::e2e
