#include "tools/phonesim/phone_shell.h"

#include "platform/clock.h"
#include "tools/phonesim/phone_network.h"
#include "tools/phonesim/phone_storage.h"
#include "tools/phonesim/simulator.h"

namespace tov::phonesim {
namespace {

const std::string kHelperCommandLine = std::string("app_process / ") + kInputHelperClass;

std::string rest(const std::vector<std::string>& w, size_t from) {
    std::string out;
    for (size_t i = from; i < w.size(); ++i) out += (i > from ? " " : "") + w[i];
    return out;
}

}  // namespace

int PhoneShell::run(const std::string& text) {
    const std::vector<ShellCommand> commands = parseShellText(text);
    int rc = 0;
    for (size_t i = 0; i < commands.size(); ++i) {
        rc = command(commands[i], i + 1 == commands.size());
    }
    return rc;
}

int PhoneShell::command(const ShellCommand& cmd, bool last) {
    const std::vector<std::string>& w = cmd.words;
    if (w.empty()) return 0;
    const std::string& name = w[0];
    if (name == "getprop") {
        std::lock_guard lock(sim_.mutex);
        auto p = sim_.find(phoneId_);
        if (!p) return 1;
        out_.write((w.size() > 1 ? getprop(*p, w[1]) : std::string()) + "\n");
        return 0;
    }
    if (name == "echo") {
        out_.write(rest(w, 1) + "\n");
        return 0;
    }
    if (name == "true") return 0;
    if (name == "false") return 1;
    if (name == "pm") return pm(w);
    if (name == "am") return am(w);
    if (name == "wm") return wm(w);
    if (name == "sha256sum") return sha256sum(w);
    if (name == "app_process") return appProcess(cmd, last);
    if (name == "pkill") return pkill(w);
    if (const int rc = storageCommand(sim_, phoneId_, w, out_); rc >= 0) return rc;
    if (name == "ip") {
        std::string text;
        int rc = 1;
        {
            std::lock_guard lock(sim_.mutex);
            if (auto p = sim_.find(phoneId_)) rc = ipCommand(*p, w, text);
        }
        out_.write(text);
        return rc;
    }
    out_.write("/system/bin/sh: " + name + ": inaccessible or not found\n");
    return 127;
}

int PhoneShell::pm(const std::vector<std::string>& w) {
    std::lock_guard lock(sim_.mutex);
    auto p = sim_.find(phoneId_);
    if (!p) return 1;
    const bool installed = !p->appDigest.empty();
    if (w.size() == 3 && w[1] == "path") {
        if (w[2] != kAppPackage || !installed) return 1;
        out_.write(std::string("package:") + kInstalledApkPath + "\n");
        return 0;
    }
    if (w.size() == 4 && w[1] == "grant") {
        if (w[2] != kAppPackage || !installed) {
            out_.write(
                "Exception occurred while executing 'grant':\n"
                "java.lang.IllegalArgumentException: Unknown package: " +
                w[2] + "\n");
            return 255;
        }
        p->grants.push_back(w[3]);
        return 0;
    }
    out_.write("pm: unknown or incomplete command: " + rest(w, 1) + "\n");
    return 1;
}

int PhoneShell::am(const std::vector<std::string>& w) {
    if (w.size() >= 2 && w[1] == "force-stop") {
        {
            std::lock_guard lock(sim_.mutex);
            auto p = sim_.find(phoneId_);
            if (p && w.size() == 3 && w[2] == kAppPackage) p->appRunning = false;
        }
        sim_.connections.cut([&](const ConnectionInfo& c) {
            return c.phoneId == phoneId_ && c.kind == ServiceKind::AppStream;
        });
        return 0;
    }
    if (w.size() < 2 || w[1] != "start") {
        out_.write("am: unknown command\n");
        return 1;
    }
    std::string component, flags;
    for (size_t i = 2; i + 1 < w.size(); ++i) {
        if (w[i] == "-n") component = w[i + 1];
        if (w[i] == "-f") flags = w[i + 1];
    }
    std::string intent = "Starting: Intent { ";
    if (!flags.empty()) intent += "flg=" + flags + " ";
    intent += "cmp=" + component + " (has extras) }\n";
    out_.write(intent);
    std::lock_guard lock(sim_.mutex);
    auto p = sim_.find(phoneId_);
    const std::string app = std::string(kAppPackage) + "/.MainActivity";
    if (!p || component != app || p->appDigest.empty()) {
        std::string cls = component;
        const size_t slash = cls.find('/');
        if (slash != std::string::npos && slash + 1 < cls.size() && cls[slash + 1] == '.') {
            cls = cls.substr(0, slash + 1) + cls.substr(0, slash) + cls.substr(slash + 1);
        }
        out_.write("Error type 3\nError: Activity class {" + cls + "} does not exist.\n");
        return 1;
    }
    if (!p->appRunning) {
        p->appRunning = true;
        p->appServesAtMs = tickMs() + static_cast<uint64_t>(p->appStartMs);
    }
    return 0;
}

int PhoneShell::wm(const std::vector<std::string>& w) {
    if (w.size() < 2 || w[1] != "size") {
        out_.write("wm: unknown command\n");
        return 1;
    }
    std::lock_guard lock(sim_.mutex);
    auto p = sim_.find(phoneId_);
    if (!p) return 1;
    if (w.size() == 2) {
        out_.write(wmSizeAnswer(*p));
        return 0;
    }
    if (w[2] == "reset") {
        p->overrideWidth = p->overrideHeight = 0;
        return 0;
    }
    int width = 0, height = 0;
    if (!parseSize(w[2], width, height)) {
        out_.write("Error: bad size " + w[2] + "\n");
        return 255;
    }
    p->overrideWidth = width;
    p->overrideHeight = height;
    return 0;
}

int PhoneShell::sha256sum(const std::vector<std::string>& w) {
    std::lock_guard lock(sim_.mutex);
    auto p = sim_.find(phoneId_);
    if (!p) return 1;
    int rc = 0;
    for (size_t i = 1; i < w.size(); ++i) {
        std::string digest;
        if (w[i] == kInstalledApkPath) {
            digest = p->appDigest;
        } else if (auto it = p->files.find(w[i]); it != p->files.end()) {
            digest = it->second.sha256;
        }
        if (digest.empty()) {
            out_.write("sha256sum: " + w[i] + ": No such file or directory\n");
            rc = 1;
        } else {
            out_.write(digest + "  " + w[i] + "\n");
        }
    }
    return rc;
}

int PhoneShell::appProcess(const ShellCommand& cmd, bool last) {
    const std::vector<std::string>& w = cmd.words;
    const std::string cls = w.size() >= 3 ? w[2] : std::string();
    auto cp = cmd.env.find("CLASSPATH");
    bool classFound = false;
    std::string probe;
    {
        std::lock_guard lock(sim_.mutex);
        auto p = sim_.find(phoneId_);
        if (!p) return 1;
        classFound = cp != cmd.env.end() && p->files.count(cp->second) > 0 &&
                     (cls == kProbeClass || cls == kInputHelperClass);
        if (classFound && cls == kProbeClass) probe = probeAnswer(*p);
    }
    if (!classFound) {
        out_.write("Exception in thread \"main\" java.lang.ClassNotFoundException: " + cls + "\n");
        return 1;
    }
    if (cls == kProbeClass) {
        out_.write(probe);
        return 0;
    }
    if (!last) {
        out_.write("phonesim: the input helper must be the last command\n");
        return 1;
    }
    return runHelper();
}

int PhoneShell::runHelper() {
    uint64_t run = 0;
    {
        std::lock_guard lock(sim_.mutex);
        auto p = sim_.find(phoneId_);
        if (!p) return 1;
        if (p->helperRun != 0) {
            // The abstract sockets are taken by the helper that already runs.
            out_.write("java.io.IOException: Address already in use\n");
            return 1;
        }
        run = p->helperRun = ++sim_.lastHelperRun;
    }
    int rc = 0;
    while (true) {
        {
            std::lock_guard lock(sim_.mutex);
            auto p = sim_.find(phoneId_);
            if (!p || p->helperRun != run) {
                rc = 143;  // killed
                break;
            }
            if (!p->listed(serial_) || p->state != "device" || sim_.stopping()) {
                rc = 255;  // the link went away under the shell
                break;
            }
        }
        if (out_.clientGone(100)) break;
    }
    // Whoever ended the run cuts its connections; a newer helper's must stay.
    bool ownEnd = false;
    {
        std::lock_guard lock(sim_.mutex);
        auto p = sim_.find(phoneId_);
        if (p && p->helperRun == run) {
            p->helperRun = 0;
            ownEnd = true;
        }
    }
    if (ownEnd) sim_.helperGone(phoneId_);
    return rc;
}

int PhoneShell::pkill(const std::vector<std::string>& w) {
    if (w.size() != 3 || w[1] != "-f") {
        out_.write("pkill: usage: pkill -f PATTERN\n");
        return 2;
    }
    bool killed = false;
    {
        std::lock_guard lock(sim_.mutex);
        auto p = sim_.find(phoneId_);
        if (p && p->helperRun != 0 && kHelperCommandLine.find(w[2]) != std::string::npos) {
            p->helperRun = 0;
            killed = true;
        }
    }
    if (killed) sim_.helperGone(phoneId_);
    return killed ? 0 : 1;
}

}  // namespace tov::phonesim
