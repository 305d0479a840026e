// The adb stand-in and the daemon together, run the way the program runs adb.
#include <atomic>
#include <thread>

#include "phone/device_feed_parser.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/readable_child.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tools/phonesim/tests/sim_fixture.h"

namespace tov::phonesim::test {
namespace {

constexpr const char* kTwoPhones =
    "phone p1 usb=R58M123ABC wifi=adb-R58M123ABC-AbCdEf._adb-tls-connect._tcp "
    "manufacturer=samsung model='SM G973F'\n"
    "phone p2 wifi=192.168.1.20:5555 state=unauthorized\n";

class AdbAnswers : public SimTest {};

TEST_F(AdbAnswers, DevicesListsEveryLinkWithItsState) {
    startSim(kTwoPhones);
    const AdbResult r = adb("devices -l");
    ASSERT_TRUE(r.ok) << r.output;
    const std::vector<std::string> l = lines(r.output);
    ASSERT_EQ(l.size(), 5u) << r.output;  // heading, three links, the empty last line
    EXPECT_EQ(l[0], "List of devices attached");
    EXPECT_EQ(l[1].substr(0, 23), "R58M123ABC             ");
    EXPECT_NE(l[1].find(" device usb:"), std::string::npos);
    EXPECT_NE(l[1].find(" model:SM_G973F "), std::string::npos);
    EXPECT_EQ(l[2].rfind("adb-R58M123ABC-AbCdEf._adb-tls-connect._tcp device ", 0), 0u);
    EXPECT_EQ(l[3].rfind("192.168.1.20:5555      unauthorized ", 0), 0u);
    EXPECT_EQ(l[3].find("model:"), std::string::npos);
    EXPECT_EQ(l[4], "");
}

TEST_F(AdbAnswers, UnplugPlugAndMovesChangeTheList) {
    startSim(kTwoPhones);
    ASSERT_TRUE(sim.ok("unplug p1 usb"));
    std::string out = adb("devices -l").output;
    EXPECT_EQ(out.find("R58M123ABC  "), std::string::npos);
    EXPECT_NE(out.find("._adb-tls-connect._tcp device"), std::string::npos);
    ASSERT_TRUE(sim.ok("unplug p1"));
    ASSERT_TRUE(sim.ok("phone p2 state=offline"));
    out = adb("devices -l").output;
    EXPECT_EQ(out.find("R58M"), std::string::npos);
    EXPECT_NE(out.find("192.168.1.20:5555      offline"), std::string::npos);
    ASSERT_TRUE(sim.ok("plug p1 usb"));
    EXPECT_NE(adb("devices -l").output.find("R58M123ABC             device"), std::string::npos);
    // Control errors are reported, not ignored.
    EXPECT_FALSE(sim.ok("plug p2 usb"));
    EXPECT_FALSE(sim.ok("unplug nosuchphone"));
}

// adb's change feed, read the way the phone monitor reads it: the list at once and after each
// change, in the lines of "devices -l"; "kill-server" ends it with an error.
TEST_F(AdbAnswers, TrackDevicesWritesTheListAtOnceAndAfterEachChange) {
    startSim(kTwoPhones);
    auto feed =
        ReadableChild::start(L"\"" + tov::test::siblingProgram(L"adb") + L"\" track-devices -l");
    ASSERT_TRUE(feed);
    // A feed that goes quiet ends the test instead of hanging it.
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        tov::test::waitFor([&] { return done.load(); }, std::chrono::seconds(60));
        feed->stop();
    });
    DeviceFeedParser parser;
    std::vector<std::string> lists;
    const auto nextList = [&] {
        const size_t had = lists.size();
        std::string chunk;
        while (lists.size() == had && feed->read(chunk)) {
            EXPECT_TRUE(parser.add(chunk, lists)) << parser.error();
            chunk.clear();
        }
        return lists.size() > had ? lists.back() : std::string("(ended)");
    };
    // The lines of "devices -l" between its heading and its closing empty line.
    std::string devices = adb("devices -l").output;
    devices = devices.substr(devices.find('\n') + 1);
    devices.pop_back();
    EXPECT_EQ(nextList(), devices);
    ASSERT_TRUE(sim.ok("unplug p1 usb"));
    EXPECT_EQ(nextList().find("R58M123ABC "), std::string::npos);
    ASSERT_TRUE(sim.ok("phone p2 state=device"));
    EXPECT_NE(nextList().find("192.168.1.20:5555      device product:"), std::string::npos);
    ASSERT_TRUE(adb("kill-server").ok);
    EXPECT_EQ(nextList(), "(ended)");
    EXPECT_EQ(feed->exitCode(), 1);
    done = true;
    watchdog.join();

    const AdbResult shortForm = adb("track-devices -x");
    EXPECT_FALSE(shortForm.ok);
    EXPECT_EQ(shortForm.output, "adb: usage: adb track-devices [-l]\n");
}

TEST_F(AdbAnswers, DeviceCommandErrorsAsAdbWordsThem) {
    startSim(kTwoPhones);
    AdbResult r = adb("-s nope shell echo hi");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "adb: device 'nope' not found\n");
    r = adb("-s 192.168.1.20:5555 shell echo hi");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.output.find("device unauthorized"), std::string::npos);
    r = adb("shell echo hi");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "adb: more than one device/emulator\n");
    ASSERT_TRUE(sim.ok("phone p2 state=offline"));
    r = adb("-s 192.168.1.20:5555 shell echo hi");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "adb: device offline\n");
    ASSERT_TRUE(sim.ok("remove p2"));
    ASSERT_TRUE(sim.ok("remove p1"));
    r = adb("shell echo hi");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "adb: no devices/emulators found\n");
    r = adb("-s R58M123ABC shell nosuchtool");
    EXPECT_FALSE(r.ok);
}

TEST_F(AdbAnswers, IdentityQueryAnswersThreeLines) {
    startSim(kTwoPhones + std::string("phone p1 serialno=RF8N\n"));
    const AdbResult r =
        adb("-s adb-R58M123ABC-AbCdEf._adb-tls-connect._tcp  shell \"getprop ro.serialno; getprop "
            "ro.product.manufacturer; getprop ro.product.model\"",
            3000);
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.output, "RF8N\nsamsung\nSM G973F\n");
}

TEST_F(AdbAnswers, InstallGrantAndChecksumOfTheInstalledApp) {
    startSim("phone p usb=S1\n");
    tov::test::TempDir dir;
    const std::wstring apk = dir.file(L"tovenmar.apk");
    ASSERT_TRUE(writeFile(apk, "not really a zip, but bytes with a digest"));
    AdbResult r = adb("-s S1 shell pm path com.tovenmar.app");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output.find("package:"), std::string::npos);
    r = adb("-s S1 install -r \"" + narrow(apk) + "\"", 120000);
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_NE(r.output.find("Success"), std::string::npos);
    EXPECT_TRUE(adb("-s S1 shell pm grant com.tovenmar.app android.permission.RECORD_AUDIO").ok);
    EXPECT_EQ(sim.ask("grants p"), "android.permission.RECORD_AUDIO\n");
    r = adb("-s S1 shell pm path com.tovenmar.app");
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.output.rfind("package:", 0), 0u);
    std::string path = r.output.substr(8);
    path.erase(path.find_last_not_of("\r\n ") + 1);
    r = adb("-s S1 shell sha256sum " + path);
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.output.substr(0, 64), sha256Hex("not really a zip, but bytes with a digest"));
    // A missing local file is adb's own error; nothing reaches the phone.
    r = adb("-s S1 install -r \"" + narrow(dir.file(L"missing.apk")) + "\"");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.output.find("cannot stat"), std::string::npos);
}

TEST_F(AdbAnswers, InstallFailuresCarryTheRealOutcomeTexts) {
    startSim("phone p usb=S1 app=foreign\n");
    tov::test::TempDir dir;
    const std::wstring apk = dir.file(L"tovenmar.apk");
    ASSERT_TRUE(writeFile(apk, "apk"));
    const std::string install = "-s S1 install -r \"" + narrow(apk) + "\"";
    AdbResult r = adb(install);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.output.find("INSTALL_FAILED_UPDATE_INCOMPATIBLE"), std::string::npos);
    EXPECT_EQ(r.output.find("Success"), std::string::npos);
    // Uninstalling clears the other signature; then the install goes through.
    EXPECT_TRUE(adb("-s S1 uninstall com.tovenmar.app").ok);
    EXPECT_FALSE(adb("-s S1 uninstall com.tovenmar.app").ok);
    EXPECT_TRUE(adb(install).ok);
    for (const std::string code : {"INSTALL_FAILED_USER_RESTRICTED", "INSTALL_FAILED_ABORTED",
                                   "INSTALL_FAILED_VERIFICATION_FAILURE"}) {
        ASSERT_TRUE(sim.ok("phone p installFailure=" + code));
        r = adb(install);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.output.find("Failure [" + code + "]"), std::string::npos) << r.output;
    }
    ASSERT_TRUE(sim.ok("phone p 'installFailure=Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]'"));
    r = adb(install);
    EXPECT_NE(r.output.find(": Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]"), std::string::npos);
    ASSERT_TRUE(sim.ok("phone p installFailure=none"));
    EXPECT_TRUE(adb(install).ok);
}

TEST_F(AdbAnswers, AnotherApkIsAUserPackageAndWhatArrivesIsRecorded) {
    startSim("phone p usb=S1 app=none\n");
    tov::test::TempDir dir;
    ASSERT_TRUE(writeFile(dir.file(L"game.apk"), "game bytes"));
    ASSERT_TRUE(writeFile(dir.file(L"photo.jpg"), "photo"));
    AdbResult r = adb("-s S1 install -r \"" + narrow(dir.file(L"game.apk")) + "\"");
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(sim.status("p")["app"], "");  // the Tovenmar app is still not there
    const std::string push =
        "-s S1 push \"" + narrow(dir.file(L"photo.jpg")) + "\" /sdcard/Download/";
    ASSERT_TRUE(sim.ok("phone p 'pushFailure=No space left on device'"));
    r = adb(push);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.output.find("adb: error: failed to copy '"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("': remote No space left on device"), std::string::npos) << r.output;
    ASSERT_TRUE(sim.ok("phone p pushFailure=none"));
    r = adb(push);
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_NE(r.output.find(": 1 file pushed, 0 skipped."), std::string::npos);
    EXPECT_EQ(sim.arrived("p"),
              (std::vector<std::string>{
                  "install game size=10 sha256=" + sha256Hex("game bytes"),
                  "push /sdcard/Download/photo.jpg size=5 sha256=" + sha256Hex("photo")}));
}

TEST_F(AdbAnswers, StoredFilesAreListedAndASlowPushGrowsWithEachLookOrStalls) {
    startSim("phone p usb=S1 pushPiece=4\nputfile p '/sdcard/Download/it'\"'\"'s $1.jpg' older\n");
    AdbResult r = adb("-s S1 shell ls -1a /sdcard/Download/");
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.output, ".\n..\nit's $1.jpg\n");
    r = adb("-s S1 shell ls /sdcard/Nothing");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "ls: /sdcard/Nothing: No such file or directory\n");
    EXPECT_EQ(adb("-s S1 shell \"stat -c %s '/sdcard/Download/it'\\''s $1.jpg'\"").output, "5\n");

    tov::test::TempDir dir;
    ASSERT_TRUE(writeFile(dir.file(L"ten.bin"), "0123456789"));
    const std::string push =
        "-s S1 push \"" + narrow(dir.file(L"ten.bin")) + "\" /sdcard/Download/";
    const std::string stat = "-s S1 shell stat -c %s /sdcard/Download/ten.bin";
    // Each look brings the next piece; the push ends once all of it is there.
    AdbResult pushed;
    std::thread slow([&] { pushed = adb(push, 30000); });
    ASSERT_TRUE(waitFor([&] { return adb(stat).ok; }, 10000));  // the first piece: 4 bytes
    EXPECT_EQ(adb(stat).output, "8\n");
    EXPECT_EQ(adb(stat).output, "10\n");
    slow.join();
    ASSERT_TRUE(pushed.ok) << pushed.output;
    EXPECT_EQ(sim.arrived("p"), std::vector<std::string>{"push /sdcard/Download/ten.bin size=10 "
                                                         "sha256=" +
                                                         sha256Hex("0123456789")});

    // A stalled link brings 3 bytes and no more; killing its adb leaves nothing behind.
    ASSERT_TRUE(sim.ok("phone p pushPiece=none pushStall=3"));
    const std::string again =
        "-s S1 push \"" + narrow(dir.file(L"ten.bin")) + "\" /sdcard/Download/again.bin";
    CommandCancel kill;
    std::thread stalled([&] {
        const CommandCancelScope killable(kill);
        pushed = adb(again, 60000);
    });
    const std::string statAgain = "-s S1 shell stat -c %s /sdcard/Download/again.bin";
    const bool arriving = waitFor([&] { return adb(statAgain).ok; }, 10000);
    EXPECT_EQ(adb(statAgain).output, "3\n");
    kill.cancel();
    stalled.join();
    ASSERT_TRUE(arriving);
    EXPECT_FALSE(pushed.ok);
    EXPECT_TRUE(waitFor(
        [&] { return adb("-s S1 shell ls /sdcard/Download").output == "it's $1.jpg\nten.bin\n"; },
        10000));
    EXPECT_EQ(sim.arrived("p").size(), 1u);
}

TEST_F(AdbAnswers, PushedHelperHasItsDigestAndMakesTheProbeAnswer) {
    startSim("phone p usb=S1 screen=1080x2400 refresh=90 info.device=Pixie\n");
    const std::string probe =
        "-s S1 shell CLASSPATH=/data/local/tmp/tovenmar.apk app_process / "
        "com.tovenmar.app.shell.PhoneInfo";
    AdbResult r = adb(probe, 15000);
    EXPECT_EQ(r.output.find("tovenmar-info-begin"), std::string::npos);
    r = adb("-s S1 shell sha256sum /data/local/tmp/tovenmar.apk");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.output.find("No such"), std::string::npos);

    tov::test::TempDir dir;
    ASSERT_TRUE(writeFile(dir.file(L"t.apk"), "helper bytes"));
    r = adb("-s S1 push \"" + narrow(dir.file(L"t.apk")) + "\" /data/local/tmp/tovenmar.apk",
            60000);
    ASSERT_TRUE(r.ok) << r.output;
    r = adb("-s S1 shell sha256sum /data/local/tmp/tovenmar.apk");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.output, sha256Hex("helper bytes") + "  /data/local/tmp/tovenmar.apk\n");

    r = adb(probe, 15000);
    ASSERT_TRUE(r.ok) << r.output;
    const size_t begin = r.output.find("tovenmar-info-begin\n");
    const size_t end = r.output.find("tovenmar-info-end");
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    const TextMap info = readTextMap(r.output.substr(begin, end - begin));
    EXPECT_EQ(info.at("device"), "Pixie");
    EXPECT_EQ(info.at("screen"), "1080x2400");
    EXPECT_EQ(info.at("refresh"), "90");
    EXPECT_EQ(info.at("codecs"), "h264,hevc");
    // Every encoder item has the seven fields the program reads.
    for (const std::string& item : lines(info.at("encoders") + "\n")) {
        size_t at = 0, items = 0;
        while (at <= item.size()) {
            const size_t semi = std::min(item.find(';', at), item.size());
            const std::string piece = item.substr(at, semi - at);
            EXPECT_EQ(std::count(piece.begin(), piece.end(), ':'), 6) << piece;
            ++items;
            at = semi + 1;
        }
        EXPECT_EQ(items, 3u);
    }
    ASSERT_TRUE(sim.ok("phone p probeSilent=1"));
    EXPECT_EQ(adb(probe).output.find("tovenmar-info"), std::string::npos);
}

TEST_F(AdbAnswers, LargeFilesTravelInPiecesAndArriveWhole) {
    startSim("phone p usb=S1\n");
    tov::test::TempDir dir;
    std::string big(9 * 1024 * 1024 + 7, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 % 251);
    ASSERT_TRUE(writeFile(dir.file(L"big.apk"), big));
    const AdbResult r = adb("-s S1 push \"" + narrow(dir.file(L"big.apk")) + "\" /sdcard/", 60000);
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_NE(r.output.find("(" + std::to_string(big.size()) + " bytes"), std::string::npos);
    EXPECT_EQ(adb("-s S1 shell sha256sum /sdcard/big.apk").output,
              sha256Hex(big) + "  /sdcard/big.apk\n");
}

TEST_F(AdbAnswers, WmSizeOverrideAndReset) {
    startSim("phone p usb=S1 screen=1080x2400\n");
    EXPECT_EQ(adb("-s S1 shell wm size").output, "Physical size: 1080x2400\n");
    EXPECT_TRUE(adb("-s S1 shell wm size 1080x1920").ok);
    EXPECT_EQ(adb("-s S1 shell wm size").output,
              "Physical size: 1080x2400\nOverride size: 1080x1920\n");
    EXPECT_FALSE(adb("-s S1 shell wm size 1080by1920").ok);
    EXPECT_TRUE(adb("-s S1 shell wm size reset").ok);
    EXPECT_EQ(adb("-s S1 shell wm size").output, "Physical size: 1080x2400\n");
}

// The text after the tab of the mdns line of `type`, or empty.
std::string serviceAddress(const std::string& services, const std::string& type) {
    for (const std::string& line : lines(services)) {
        const size_t tab = line.find("\t" + type + "\t");
        if (tab != std::string::npos) return line.substr(tab + type.size() + 2);
    }
    return {};
}

TEST_F(AdbAnswers, AScannedCodeOffersPairingAndThePairedPhoneConnects) {
    startSim("phone p usb=S1 ip=192.168.1.20\n");
    AdbResult r = adb("mdns check");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.output, "mdns daemon version [adb discovery 0.0.0]\n");
    EXPECT_EQ(adb("mdns services").output, "List of discovered mdns services\n\n");
    EXPECT_FALSE(sim.ok("scan p WIFI:T:ADB;S:x;;"));  // no password: not a pairing code

    const std::string pairing = sim.ask("scan p 'WIFI:T:ADB;S:tovenmar-k2;P:Pw9\\;x;;'");
    ASSERT_EQ(pairing.rfind("192.168.1.20:", 0), 0u) << pairing;
    const std::string pairAddress = pairing.substr(0, pairing.size() - 1);
    r = adb("mdns services");
    EXPECT_NE(r.output.find("tovenmar-k2\t_adb-tls-pairing._tcp\t" + pairAddress + "\n"),
              std::string::npos)
        << r.output;
    const std::string connectAddress = serviceAddress(r.output, "_adb-tls-connect._tcp");
    ASSERT_EQ(connectAddress.rfind("192.168.1.20:", 0), 0u) << r.output;
    EXPECT_NE(r.output.find("adb-S1-"), std::string::npos);

    // Not paired yet: the phone refuses the connection.
    EXPECT_EQ(adb("connect " + connectAddress).output,
              "failed to authenticate to " + connectAddress + "\n");
    r = adb("pair " + pairAddress + " Pw9");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "error: Failed: Wrong password or connection was dropped.\n");
    r = adb("pair " + pairAddress + " Pw9;x");
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.output.rfind("Successfully paired to " + pairAddress + " [guid=adb-S1-", 0), 0u)
        << r.output;
    EXPECT_EQ(serviceAddress(adb("mdns services").output, "_adb-tls-pairing._tcp"), "");

    r = adb("connect " + connectAddress);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, "connected to " + connectAddress + "\n");
    EXPECT_EQ(adb("connect " + connectAddress).output,
              "already connected to " + connectAddress + "\n");
    EXPECT_NE(adb("devices -l").output.find(connectAddress + "     device product:"),
              std::string::npos);
    EXPECT_TRUE(adb("-s " + connectAddress + " shell echo over wifi").ok);
    EXPECT_EQ(adb("disconnect " + connectAddress).output, "disconnected " + connectAddress + "\n");
    r = adb("disconnect " + connectAddress);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "error: no such device '" + connectAddress + "'\n");
}

TEST_F(AdbAnswers, PairingByCodeConnectFailuresAndDiscoveryOff) {
    startSim("phone p usb=S1 ip=192.168.1.20\nphone q usb=S2\n");
    EXPECT_FALSE(sim.ok("pairing q 123456"));  // not on Wi-Fi
    EXPECT_FALSE(sim.ok("pairing p 12345"));
    std::string address = sim.ask("pairing p 482913");
    address.pop_back();
    EXPECT_NE(adb("mdns services").output.find("\t_adb-tls-pairing._tcp\t" + address),
              std::string::npos);
    AdbResult r = adb("pair " + address);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "Enter pairing code: adb: No pairing code provided\n");
    r = adb("pair 192.168.1.20 482913");
    EXPECT_EQ(r.output, "error: Invalid port while parsing address [192.168.1.20]\n");
    EXPECT_EQ(adb("pair 192.168.1.20:1 482913").output,
              "error: Failed: Wrong password or connection was dropped.\n");
    EXPECT_TRUE(adb("pair " + address + " 482913").ok);
    EXPECT_EQ(adb("connect 192.168.1.20:9").output,
              "failed to connect to '192.168.1.20:9': Connection refused\n");
    EXPECT_EQ(adb("connect 192.168.1.99").output,
              "failed to connect to '192.168.1.99:5555': No route to host\n");
    r = adb("connect");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "adb: usage: adb connect HOST[:PORT]\n");

    ASSERT_TRUE(sim.ok("mdns off"));
    EXPECT_EQ(adb("mdns check").output, "ERROR: mdns discovery disabled\n");
    EXPECT_EQ(adb("mdns services").output, "List of discovered mdns services\n\n");
    EXPECT_EQ(adb("mdns").output, "adb: mdns requires an argument\n");
}

TEST_F(AdbAnswers, ACabledPhoneOnTcpAndItsWifiComingAndGoing) {
    startSim("phone p usb=S1 ip=192.168.1.20\nphone q usb=S2\n");
    AdbResult r = adb("-s S1 shell ip -f inet addr show");
    ASSERT_TRUE(r.ok);
    EXPECT_NE(r.output.find(": wlan0: <BROADCAST,MULTICAST,UP,LOWER_UP>"), std::string::npos);
    EXPECT_NE(r.output.find("    inet 192.168.1.20/24 brd 192.168.1.255 scope global wlan0\n"),
              std::string::npos)
        << r.output;
    r = adb("-s S2 shell ip -f inet addr show");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.output.find("wlan0"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("inet 10."), std::string::npos);  // mobile data stays
    EXPECT_NE(adb("-s S2 shell ip addr show wlan0").output.find("state DOWN"), std::string::npos);

    EXPECT_EQ(adb("connect 192.168.1.20").output,
              "failed to connect to '192.168.1.20:5555': Connection refused\n");
    r = adb("-s S1 tcpip 5555");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.output, "restarting in TCP mode port: 5555\n");
    EXPECT_EQ(adb("-s S1 tcpip 0").output, "adb: tcpip: invalid port: 0\n");
    EXPECT_EQ(adb("connect 192.168.1.20").output, "connected to 192.168.1.20:5555\n");
    EXPECT_NE(adb("devices -l").output.find("192.168.1.20:5555      device"), std::string::npos);

    // Off the network the connection ends and nothing answers there; back, it connects again.
    ASSERT_TRUE(sim.ok("wifi p drop"));
    EXPECT_EQ(adb("devices -l").output.find("192.168.1.20:5555"), std::string::npos);
    EXPECT_EQ(adb("connect 192.168.1.20:5555").output,
              "failed to connect to '192.168.1.20:5555': No route to host\n");
    ASSERT_TRUE(sim.ok("wifi p back"));
    EXPECT_EQ(adb("connect 192.168.1.20:5555").output, "connected to 192.168.1.20:5555\n");
    // A new address ends the connection at the old one.
    ASSERT_TRUE(sim.ok("wifi p address 192.168.1.31"));
    EXPECT_EQ(adb("devices -l").output.find("192.168.1.20:5555"), std::string::npos);
    EXPECT_NE(adb("-s S1 shell ip route").output.find(" src 192.168.1.31"), std::string::npos);
    EXPECT_EQ(adb("connect 192.168.1.31:5555").output, "connected to 192.168.1.31:5555\n");

    // Wireless debugging may come back on a port of its own.
    ASSERT_TRUE(sim.ok("phone p debugging=1"));
    const std::string before = serviceAddress(adb("mdns services").output, "_adb-tls-connect._tcp");
    ASSERT_TRUE(sim.ok("wifi p drop"));
    EXPECT_EQ(serviceAddress(adb("mdns services").output, "_adb-tls-connect._tcp"), "");
    ASSERT_TRUE(sim.ok("wifi p back new"));
    const std::string after = serviceAddress(adb("mdns services").output, "_adb-tls-connect._tcp");
    EXPECT_EQ(after.rfind("192.168.1.31:", 0), 0u);
    EXPECT_NE(after, before);
}

TEST_F(AdbAnswers, HungCommandRunsPastItsLimitWhileOthersAnswer) {
    startSim("phone p usb=S1\nhang shell wm size\n");
    AdbResult r = adb("-s S1 shell wm size", 500);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "");
    EXPECT_TRUE(adb("-s S1 shell echo alive", 5000).ok);
    ASSERT_TRUE(sim.ok("nohang"));
    EXPECT_TRUE(adb("-s S1 shell wm size", 5000).ok);
    // Every command line reached the log, the hung one included.
    const std::vector<std::string> log = sim.commands();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "-s S1 shell wm size");
}

TEST_F(AdbAnswers, ADaemonWhoseStarterDiesEndsToo) {
    // A shell starts a daemon and dies at once; the daemon notices and quits.
    tov::test::TempDir dir;
    const std::wstring portFile = dir.file(L"port");
    std::string out;
    const RunResult run = runCommand(L"/bin/sh -c \"'" + exeFolder() +
                                         L"phonesim' serve --exit-with-parent --port-file '" +
                                         portFile + L"' & sleep 1\"",
                                     &out, 10000);
    ASSERT_TRUE(run.exited);
    std::string text;
    ASSERT_TRUE(readFile(portFile, text)) << out;
    const uint16_t port = parsePort(text);
    ASSERT_NE(port, 0);
    EXPECT_TRUE(waitFor([&] { return controlCommand(port, "list").exitCode < 0; }, 3000));
}

TEST_F(AdbAnswers, ABadScenarioLineStopsTheStartWithItsNumber) {
    std::string error;
    EXPECT_FALSE(sim.start("phone p usb=S1\nphone p screen=wide\n", &error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

}  // namespace
}  // namespace tov::phonesim::test
