// Simulator::adb: the answers adb gives, host commands first, then commands aimed at one phone.
#include <algorithm>
#include <cstdio>

#include "platform/sha256.h"
#include "tools/phonesim/adb_args.h"
#include "tools/phonesim/forwards.h"
#include "tools/phonesim/phone_shell.h"
#include "tools/phonesim/phone_storage.h"
#include "tools/phonesim/simulator.h"
#include "tools/phonesim/wifi_commands.h"

namespace tov::phonesim {
namespace {

constexpr size_t kCommandLogLimit = 10000;

std::string joined(const std::vector<std::string>& args) {
    std::string out;
    for (const std::string& a : args) out += (out.empty() ? "" : " ") + a;
    return out;
}

std::string baseName(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

class AdbCommand {
  public:
    AdbCommand(Simulator& sim, CommandChannel& channel) : sim_(sim), out_(channel) {}

    int run(const AdbArgs& a, const std::string& fileData) {
        if (a.command == "devices") return devices(a);
        if (a.command == "track-devices") return trackDevices(a);
        if (a.command == "version") {
            out_.write("Android Debug Bridge version 1.0.41\nVersion 35.0.2-phonesim\n");
            return 0;
        }
        if (a.command == "kill-server") {
            ++sim_.serverGeneration;
            return 0;
        }
        if (isWifiHostCommand(a.command)) return wifiHostCommand(sim_, a, fileData, out_);
        if (a.command == "start-server" || a.command == "reconnect") return 0;
        if (a.command == "forward" && !a.words.empty() &&
            (a.words[0] == "--list" || a.words[0] == "--remove" || a.words[0] == "--remove-all")) {
            return forwardHost(a);
        }
        std::shared_ptr<SimPhone> phone;
        std::string serial;
        if (const int rc = target(a, phone, serial); rc != 0) return rc;
        if (a.command == "shell") return shell(a, phone, serial);
        if (a.command == "forward") return forward(a, serial);
        if (a.command == "install") return install(a, phone, fileData);
        if (a.command == "push") return push(a, phone, fileData);
        if (a.command == "uninstall") return uninstall(a, phone);
        if (a.command == "tcpip") return tcpipCommand(sim_, a, phone->id, serial, out_);
        if (a.command == "get-serialno") {
            out_.write(serial + "\n");
            return 0;
        }
        if (a.command == "get-state") {
            out_.write("device\n");
            return 0;
        }
        out_.write("adb: unknown command " + a.command + "\n");
        return 1;
    }

  private:
    int devices(const AdbArgs& a) {
        const bool longForm = std::find(a.words.begin(), a.words.end(), "-l") != a.words.end();
        std::string text;
        {
            std::lock_guard lock(sim_.mutex);
            text = sim_.deviceList(longForm);
        }
        out_.write("List of devices attached\n" + text + "\n");
        return 0;
    }

    // adb's change feed: the list at once, then again each time it changes, each one after its
    // length in four hex digits; until adb is killed, or the server goes away (an error then).
    int trackDevices(const AdbArgs& a) {
        if (a.words.size() > 1 || (a.words.size() == 1 && a.words[0] != "-l")) {
            out_.write("adb: usage: adb track-devices [-l]\n");
            return 1;
        }
        const bool longForm = !a.words.empty();
        const uint64_t generation = sim_.serverGeneration;
        ++sim_.runningFeeds;
        std::string written;
        bool first = true;
        while (true) {
            std::string list;
            {
                std::lock_guard lock(sim_.mutex);
                list = sim_.deviceList(longForm);
            }
            if (first || list != written) {
                char length[8];
                std::snprintf(length, sizeof length, "%04zx", list.size() & 0xFFFF);
                out_.write(length + list);
                written = list;
                first = false;
            }
            if (sim_.stopping() || sim_.serverGeneration != generation) break;
            if (out_.clientGone(100)) break;
        }
        --sim_.runningFeeds;
        return 1;
    }

    // The phone link a device command goes to, with adb's errors when there is none.
    int target(const AdbArgs& a, std::shared_ptr<SimPhone>& phone, std::string& serial) {
        std::lock_guard lock(sim_.mutex);
        if (!a.serial.empty()) {
            phone = sim_.attached(a.serial);
            if (!phone) {
                out_.write("adb: device '" + a.serial + "' not found\n");
                return 1;
            }
            serial = a.serial;
        } else {
            int count = 0;
            for (const auto& p : sim_.phones) {
                for (const PhoneLink* link : {&p->usb, &p->wifi}) {
                    if (link->plugged && !link->serial.empty()) {
                        ++count;
                        phone = p;
                        serial = link->serial;
                    }
                }
            }
            if (count == 0) {
                out_.write("adb: no devices/emulators found\n");
                return 1;
            }
            if (count > 1) {
                out_.write("adb: more than one device/emulator\n");
                return 1;
            }
        }
        if (phone->state == "unauthorized") {
            out_.write(
                "adb: device unauthorized.\nThis adb server's $ADB_VENDOR_KEYS is not set\n"
                "Try 'adb kill-server' if that seems wrong.\n"
                "Otherwise check for a confirmation dialog on your device.\n");
            return 1;
        }
        if (phone->state == "offline") {
            out_.write("adb: device offline\n");
            return 1;
        }
        return 0;
    }

    int shell(const AdbArgs& a, const std::shared_ptr<SimPhone>& phone, const std::string& serial) {
        const std::string text = shellText(a.words);
        if (text.empty()) {
            out_.write("adb: the phone simulator has no interactive shell\n");
            return 1;
        }
        PhoneShell shell(sim_, phone->id, serial, out_);
        return shell.run(text);
    }

    int forwardHost(const AdbArgs& a) {
        if (a.words[0] == "--list") {
            std::string text;
            for (const std::string& line : sim_.forwards.list()) text += line + "\n";
            out_.write(text);
            return 0;
        }
        if (a.words[0] == "--remove-all") {
            sim_.forwards.removeAll();
            return 0;
        }
        if (a.words.size() != 2) {
            out_.write("adb: usage: adb forward --remove LOCAL\n");
            return 1;
        }
        const uint16_t port = parseTcpSpec(a.words[1]);
        if (port == 0 || !sim_.forwards.remove(port)) {
            out_.write("adb: error: listener '" + a.words[1] + "' not found\n");
            return 1;
        }
        return 0;
    }

    int forward(const AdbArgs& a, const std::string& serial) {
        std::vector<std::string> w = a.words;
        if (!w.empty() && w[0] == "--no-rebind") w.erase(w.begin());
        if (w.size() != 2) {
            out_.write("adb: usage: adb forward [--no-rebind] LOCAL REMOTE\n");
            return 1;
        }
        // "tcp:0": the system chooses a free port, and adb prints it.
        const bool chosen = w[0] == "tcp:0";
        const uint16_t port = parseTcpSpec(w[0]);
        if (port == 0 && !chosen) {
            out_.write("adb: error: cannot bind listener: unsupported local " + w[0] + "\n");
            return 1;
        }
        const std::string& remote = w[1];
        if (remote.rfind("tcp:", 0) != 0 && remote.rfind("localabstract:", 0) != 0) {
            out_.write("adb: error: unknown forward target " + remote + "\n");
            return 1;
        }
        std::string error;
        const uint16_t listening = sim_.forwards.add(port, serial, remote, error);
        if (listening == 0) {
            out_.write(error);
            return 1;
        }
        if (chosen) out_.write(std::to_string(listening) + "\n");
        return 0;
    }

    static std::string lastPlainWord(const std::vector<std::string>& words) {
        for (auto it = words.rbegin(); it != words.rend(); ++it) {
            if (!it->empty() && (*it)[0] != '-') return *it;
        }
        return {};
    }

    // An apk named tovenmar.apk (the name Tovenmar installs its own package under) is the
    // Tovenmar app; any other apk is a package of the user's, named after its file.
    int install(const AdbArgs& a, const std::shared_ptr<SimPhone>& phone,
                const std::string& fileData) {
        const std::string path = lastPlainWord(a.words);
        const bool replace = std::find(a.words.begin(), a.words.end(), "-r") != a.words.end();
        if (path.empty()) {
            out_.write("adb: usage: adb install [-r] PACKAGE\n");
            return 1;
        }
        const std::string file = baseName(path);
        const bool ours = file == "tovenmar.apk";
        const std::string package = ours ? kAppPackage : file.substr(0, file.rfind('.'));
        const std::string digest = sha256Hex(fileData);
        std::string failure;
        {
            std::lock_guard lock(sim_.mutex);
            const bool present =
                ours ? !phone->appDigest.empty() : phone->userPackages.count(package) > 0;
            if (!phone->installFailure.empty()) {
                failure = phone->installFailure;
                if (failure.find('[') == std::string::npos) failure = "Failure [" + failure + "]";
            } else if (ours && present && phone->appForeign) {
                failure =
                    "Failure [INSTALL_FAILED_UPDATE_INCOMPATIBLE: Existing package "
                    "com.tovenmar.app signatures do not match newer version; ignoring!]";
            } else if (present && !replace) {
                failure = "Failure [INSTALL_FAILED_ALREADY_EXISTS: Attempt to re-install " +
                          package + " without first uninstalling.]";
            } else {
                if (ours) {
                    phone->appDigest = digest;
                    phone->appForeign = false;
                    phone->appRunning = false;  // an update ends the running app
                } else {
                    phone->userPackages[package] = digest;
                }
                phone->arrived.push_back({"install", package, fileData.size(), digest});
            }
        }
        out_.write("Performing Streamed Install\n");
        if (!failure.empty()) {
            out_.write("adb: failed to install " + path + ": " + failure + "\n");
            return 1;
        }
        if (ours) stopApp(phone->id);
        out_.write("Success\n");
        return 0;
    }

    void stopApp(const std::string& phoneId) {
        sim_.connections.cut([&](const ConnectionInfo& c) {
            return c.phoneId == phoneId && c.kind == ServiceKind::AppStream;
        });
    }

    int push(const AdbArgs& a, const std::shared_ptr<SimPhone>& phone,
             const std::string& fileData) {
        std::vector<std::string> plain;
        for (const std::string& w : a.words) {
            if (!w.empty() && w[0] != '-') plain.push_back(w);
        }
        if (plain.size() != 2) {
            out_.write("adb: usage: adb push LOCAL REMOTE\n");
            return 1;
        }
        std::string remote = plain[1];
        if (remote.back() == '/') remote += baseName(plain[0]);
        return pushFile(sim_, phone->id, plain[0], remote, fileData, out_);
    }

    int uninstall(const AdbArgs& a, const std::shared_ptr<SimPhone>& phone) {
        const std::string package = lastPlainWord(a.words);
        bool removed = false;
        {
            std::lock_guard lock(sim_.mutex);
            if (package == kAppPackage && !phone->appDigest.empty()) {
                phone->appDigest.clear();
                phone->appForeign = false;
                phone->appRunning = false;
                phone->grants.clear();
                removed = true;
            }
        }
        if (!removed) {
            out_.write("Failure [DELETE_FAILED_INTERNAL_ERROR]\n");
            return 1;
        }
        stopApp(phone->id);
        out_.write("Success\n");
        return 0;
    }

    Simulator& sim_;
    CommandChannel& out_;
};

}  // namespace

int Simulator::adb(const std::vector<std::string>& args, const std::string& fileData,
                   CommandChannel& channel) {
    const std::string line = joined(args);
    bool hang = false;
    bool failing = false;
    {
        std::lock_guard lock(mutex);
        if (commandLog.size() >= kCommandLogLimit) commandLog.erase(commandLog.begin());
        commandLog.push_back(line);
        const AdbArgs parsed = parseAdbArgs(args);
        const std::string text = joined(std::vector<std::string>{parsed.command}) +
                                 (parsed.words.empty() ? "" : " " + joined(parsed.words));
        for (const std::string& h : hangs) hang = hang || text.rfind(h, 0) == 0;
        for (const std::string& f : failures) failing = failing || text.rfind(f, 0) == 0;
    }
    if (hang) {
        // A command that never answers: it ends only when adb is killed.
        while (!stopping() && !channel.clientGone(100)) {
        }
        return 1;
    }
    if (failing) {
        // What adb says when the link to the phone closes under a command (a phone that has just
        // been connected and is not ready yet).
        channel.write("error: closed\n");
        return 1;
    }
    const AdbArgs parsed = parseAdbArgs(args);
    if (!parsed.error.empty()) {
        channel.write(parsed.error + "\n");
        return 1;
    }
    return AdbCommand(*this, channel).run(parsed, fileData);
}

}  // namespace tov::phonesim
