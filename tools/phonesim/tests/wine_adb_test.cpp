// adb.exe of the Windows build under Wine, against the native daemon: what Tovenmar.exe meets.
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "session/packet.h"
#include "tools/phonesim/tests/sim_fixture.h"

namespace tov::phonesim::test {
namespace {

struct WineResult {
    bool started = false;
    unsigned exitCode = 1;
    std::string output;
};

// Runs adb.exe through the Windows build's Wine launcher (its own prefix, quiet).
WineResult wineAdb(const std::wstring& args) {
    WineResult r;
    const std::wstring bin = widen(TOV_WIN_BIN_DIR);
    const std::wstring launcher = bin + L"/../wine-run.sh";
    const RunResult run = runCommand(
        L"/bin/sh \"" + launcher + L"\" \"" + bin + L"/adb.exe\" " + args, &r.output, 180000);
    r.started = run.started && run.exited;
    r.exitCode = run.exitCode;
    // Wine may add its own start-up chatter; only the program's lines matter.
    return r;
}

class WineAdb : public SimTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(isFile(widen(TOV_WIN_BIN_DIR "/adb.exe")))
            << "build the Windows tree first: " << TOV_WIN_BIN_DIR << "/adb.exe is missing";
        ASSERT_TRUE(isFile(widen(TOV_WIN_BIN_DIR "/../wine-run.sh")));
    }
};

TEST_F(WineAdb, DevicesShellAndForwardReachTheDaemon) {
    startSim(
        "phone p usb=R58M123ABC wifi=192.168.1.20:5555 manufacturer=samsung model=SM-G973F "
        "app=old\n");
    const WineResult devices = wineAdb(L"devices -l");
    ASSERT_TRUE(devices.started);
    EXPECT_EQ(devices.exitCode, 0u);
    EXPECT_NE(devices.output.find("List of devices attached\n"), std::string::npos)
        << devices.output;
    EXPECT_EQ(devices.output.substr(devices.output.find("List of")), adb("devices -l").output);

    // The identity query exactly as the program words it (two spaces before "shell").
    const WineResult identity = wineAdb(
        L"-s R58M123ABC  shell \"getprop ro.serialno; getprop ro.product.manufacturer; getprop "
        L"ro.product.model\"");
    EXPECT_EQ(identity.exitCode, 0u);
    EXPECT_NE(identity.output.find("R58M123ABC\nsamsung\nSM-G973F\n"), std::string::npos)
        << identity.output;

    const WineResult missing = wineAdb(L"-s nope shell echo hi");
    EXPECT_NE(missing.exitCode, 0u);
    EXPECT_NE(missing.output.find("adb: device 'nope' not found"), std::string::npos);

    const uint16_t port = freePort();
    const WineResult forward =
        wineAdb(L"-s 192.168.1.20:5555 forward tcp:" + std::to_wstring(port) + L" tcp:27183");
    EXPECT_EQ(forward.exitCode, 0u) << forward.output;
    EXPECT_EQ(wineAdb(L"-s 192.168.1.20:5555 shell am start -n com.tovenmar.app/.MainActivity "
                      L"--ez start true -f 0x30000000")
                  .exitCode,
              0u);
    PacketClient client;
    TextMap hello;
    ASSERT_TRUE(openStream(client, port, {{"video", "1"}}, &hello));
    EXPECT_EQ(hello.at("device"), "samsung SM-G973F");
    EXPECT_TRUE(client.receiveType(3).ok);
    // The command lines arrived as adb received them.
    const std::vector<std::string> log = sim.commands();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[2],
              "-s R58M123ABC shell getprop ro.serialno; getprop ro.product.manufacturer; getprop "
              "ro.product.model");
}

}  // namespace
}  // namespace tov::phonesim::test
