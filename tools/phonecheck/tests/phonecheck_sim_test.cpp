// tovenmar-phonecheck against the phone simulator, through adb as a real phone is reached: the
// default phone, which speaks the phone app's contract and nothing more, passes every step; each
// fault fails the step it breaks, named, with why.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/json.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tools/phonesim/control_client.h"

namespace tov::phonecheck {
namespace {

const std::string kPackage = std::string(TOV_TEST_MEDIA_DIR) + "/phone-app-stand-in.apk";

struct CheckRun {
    unsigned exitCode = 99;
    std::string output;
    bool has(const std::string& line) const { return output.find(line) != std::string::npos; }
};

std::wstring checkCommand(const std::string& serial, const std::string& extra) {
    return quoteArgument(test::siblingProgram(L"tovenmar-phonecheck")) + L" --adb " +
           quoteArgument(test::siblingProgram(L"adb")) + L" --serial " + widen(serial) + L" " +
           widen(extra);
}

CheckRun runCheck(const std::string& serial, const std::string& extra) {
    CheckRun run;
    const RunResult r = runCommand(checkCommand(serial, extra), &run.output, 120000);
    EXPECT_TRUE(r.started && r.exited) << run.output;
    run.exitCode = r.exitCode;
    return run;
}

class PhoneCheck : public ::testing::Test {
  protected:
    void start(const std::string& scenario) {
        std::string error;
        ASSERT_TRUE(sim.start(scenario, &error)) << error;
    }
    void TearDown() override { sim.stop(); }
    phonesim::PhoneSimulator sim;
};

// docs/phone-app.md §What the check does
TEST_F(PhoneCheck, TheDefaultPhonePassesEveryStepAndIsLeftAsTovenmarLeavesIt) {
    start("phone p usb=R58MCHECK01\n");
    const CheckRun run = runCheck("R58MCHECK01", "--seconds 2 --install \"" + kPackage + "\"");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_FALSE(run.has("FAILED")) << run.output;
    for (const char* line :
         {"phone attached: ok", "package installed: ok (com.tovenmar.app at ",
          ", installed now)", "helper file there: ok (/data/local/tmp/tovenmar.apk, sha256 ",
          "info probe block: ok (Google Pixel 7, 1080x2400 at 120 Hz, codecs h264,hevc, 3 "
          "encoders)",
          "input helper greets with version 11 and a screen size: ok (version 11, screen "
          "1080x2400)",
          "input helper answers pings: ok", "input helper takes a tap and a key: ok"}) {
        EXPECT_TRUE(run.has(line)) << line << "\n" << run.output;
    }
    for (const char* stream : {"app stream: ", "No app stream: "}) {
        for (const char* step :
             {"options sent, hello within 1,500 ms: ok", "video configuration a decoder opens: ok",
              "pictures and sound: ok", "pongs: ok",
              "state report with the keys Tovenmar reads: ok",
              "key frame request answered by a key picture: ok",
              "bitrate change taken mid-stream: ok", "size change taken mid-stream: ok",
              "clean stop: ok"}) {
            EXPECT_TRUE(run.has(std::string(stream) + step)) << stream << step << "\n" << run.output;
        }
    }
    EXPECT_TRUE(run.has("R58MCHECK01: 25 steps, 25 passed, 0 failed, 0 skipped")) << run.output;

    // The phone took the tap and the key, both streams heard the stop, and the check took its
    // forwards and its helper away again.
    EXPECT_EQ(sim.events("p"), (std::vector<std::string>{
                                   "touch action=0 pointer=0 x=32768 y=328",
                                   "touch action=2 pointer=0 x=32768 y=328",
                                   "key action=0 code=59 meta=0 repeat=0",
                                   "key action=1 code=59 meta=0 repeat=0"}));
    EXPECT_EQ(sim.ask("forwards"), "");
    const std::vector<std::string> streamEvents = sim.streamEvents("p");
    EXPECT_EQ(std::count(streamEvents.begin(), streamEvents.end(), "stop"), 2);
    EXPECT_TRUE(test::waitFor([&] { return sim.status("p")["helper"] == "0"; }, 10000))
        << sim.ask("status p");
}

// docs/phone-app.md §What the check does
TEST_F(PhoneCheck, WithoutInstallNothingReachesThePhoneAndJsonTellsEachStep) {
    start("phone p usb=R58MCHECK02 apk=\"" + kPackage + "\" helper=\"" + kPackage + "\"\n");
    const CheckRun run = runCheck("R58MCHECK02", "--json --no-input --seconds 1");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    JsonValue doc;
    ASSERT_TRUE(parseJson(run.output, doc)) << run.output;
    ASSERT_NE(doc.find("passed"), nullptr);
    EXPECT_TRUE(doc.find("passed")->flag);
    EXPECT_EQ(doc.find("serial")->text, "R58MCHECK02");
    const JsonValue* steps = doc.find("steps");
    ASSERT_NE(steps, nullptr);
    ASSERT_EQ(steps->items.size(), 25u);
    const JsonValue& input = steps->items[6];
    EXPECT_EQ(input.find("step")->text, "input helper takes a tap and a key");
    EXPECT_EQ(input.find("result")->text, "skipped");
    EXPECT_EQ(input.find("detail")->text, "--no-input");
    EXPECT_TRUE(sim.arrived("p").empty());
    EXPECT_TRUE(sim.events("p").empty());

    // A phone adb does not list stops the check at its first step.
    const CheckRun missing = runCheck("R58MNOPE", "");
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_TRUE(missing.has("phone attached: FAILED: adb does not list R58MNOPE (it lists "
                            "R58MCHECK02)\nR58MNOPE: 1 steps, 0 passed, 1 failed"))
        << missing.output;
}

// docs/phone-app.md §Hello, §Pong, §State report, §Input helper greeting
TEST_F(PhoneCheck, EachFaultFailsTheStepItBreaksAndSaysWhy) {
    struct Fault {
        const char* id;
        const char* settings;
        const char* failure;  // the step's line, as far as it is fixed
    };
    const Fault faults[] = {
        {"nohello", "noHello=1",
         "app stream: options sent, hello within 1,500 ms: FAILED: no hello within 5,000 ms of "
         "the options packet"},
        {"late", "helloDelay=2500",
         "app stream: options sent, hello within 1,500 ms: FAILED: the hello came 2,"},
        {"shortpong", "shortPong=1", "app stream: pongs: FAILED: a pong of 4 bytes"},
        {"old", "helperVersion=10",
         "input helper greets with version 11 and a screen size: FAILED: version 10; Tovenmar "
         "needs 11"},
        {"stalls", "", "app stream: video configuration a decoder opens: FAILED: "},
        {"nokeys", "stateWithout=bitrate,presets",
         "app stream: state report with the keys Tovenmar reads: FAILED: the report lacks "
         "bitrate, presets"},
    };
    std::string scenario;
    for (const Fault& f : faults) {
        scenario += std::string("phone ") + f.id + " usb=SIM-" + f.id + " apk=\"" + kPackage +
                    "\" helper=\"" + kPackage + "\" " + f.settings + "\n";
    }
    scenario += "stream stalls stall\n";
    start(scenario);

    // The phones are checked side by side, each by its own run.
    test::TempDir dir;
    std::vector<std::unique_ptr<ChildProcess>> runs;
    for (const Fault& f : faults) {
        runs.push_back(ChildProcess::start(
            checkCommand(std::string("SIM-") + f.id, "--no-input --seconds 1"),
            dir.file(widen(f.id))));
        ASSERT_NE(runs.back(), nullptr);
    }
    for (size_t i = 0; i < std::size(faults); ++i) {
        ASSERT_TRUE(runs[i]->wait(120000)) << faults[i].id;
        std::string output;
        readFile(dir.file(widen(faults[i].id)), output);
        EXPECT_EQ(runs[i]->exitCode(), 1) << output;
        EXPECT_NE(output.find(faults[i].failure), std::string::npos)
            << faults[i].failure << "\n" << output;
        // The summary names the failed step too.
        const std::string failedStep =
            std::string(faults[i].failure).substr(0, std::string(faults[i].failure).find(": FAILED"));
        const size_t summary = output.find(std::string("SIM-") + faults[i].id + ": ");
        ASSERT_NE(summary, std::string::npos) << output;
        EXPECT_NE(output.find(failedStep, summary), std::string::npos) << output;
    }
    std::string stalled;
    readFile(dir.file(L"stalls"), stalled);
    EXPECT_NE(stalled.find("the stream sent nothing for 4,000 ms"), std::string::npos) << stalled;
}

}  // namespace
}  // namespace tov::phonecheck
