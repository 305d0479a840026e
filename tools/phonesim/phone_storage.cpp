#include "tools/phonesim/phone_storage.h"

#include <algorithm>
#include <set>

#include "core/case_folding.h"
#include "platform/files.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "tools/phonesim/simulator.h"

namespace tov::phonesim {
namespace {

// Folders every phone has, empty or not.
const std::set<std::string> kStandardFolders = {"/", "/sdcard", "/sdcard/Download",
                                                "/sdcard/Pictures", "/data/local/tmp"};

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Shared storage ignores case, as the phone's does (accented and other letters too): a path
// there names the file already stored under any case of it. Other paths are taken as they are.
std::string storedPath(const SimPhone& phone, const std::string& path) {
    if (path.rfind("/sdcard/", 0) != 0) return path;
    const std::string folded = caseFolded(path);
    for (const auto& [file, unused] : phone.files) {
        if (caseFolded(file) == folded) return file;
    }
    return path;
}

std::string pushedLine(const std::string& local, size_t bytes) {
    return local + ": 1 file pushed, 0 skipped. 41.3 MB/s (" + std::to_string(bytes) +
           " bytes in 0.010s)\n";
}

// Waits for a slow push to have arrived whole; false (the partial file removed) when its adb
// was killed or the daemon stops first.
bool arrivedWhole(Simulator& sim, const std::string& phoneId, const std::string& remote,
                  CommandChannel& out) {
    while (true) {
        {
            std::lock_guard lock(sim.mutex);
            auto p = sim.find(phoneId);
            if (!p) return false;
            auto coming = p->arriving.find(remote);
            auto there = p->files.find(remote);
            if (coming == p->arriving.end() || there == p->files.end()) return false;
            if (there->second.size >= coming->second.size) {
                there->second = coming->second;
                p->arrived.push_back({"push", remote, static_cast<size_t>(coming->second.size),
                                      coming->second.sha256});
                p->arriving.erase(coming);
                return true;
            }
        }
        if (sim.stopping() || out.clientGone(20)) break;
    }
    std::lock_guard lock(sim.mutex);
    if (auto p = sim.find(phoneId)) {
        p->arriving.erase(remote);
        auto there = p->files.find(remote);
        if (there != p->files.end() && there->second.sha256.empty()) p->files.erase(there);
    }
    return false;
}

// One look at a file still arriving: the next piece comes in, up to where the link stalls.
void nextPiece(SimPhone& phone, const std::string& path) {
    auto coming = phone.arriving.find(path);
    auto there = phone.files.find(path);
    if (coming == phone.arriving.end() || there == phone.files.end()) return;
    uint64_t size = std::min<uint64_t>(coming->second.size,
                                       there->second.size + static_cast<uint64_t>(phone.pushPiece));
    if (phone.pushStall >= 0) {
        size = std::min(size, std::max(there->second.size, static_cast<uint64_t>(phone.pushStall)));
    }
    there->second.size = size;
}

int stat(SimPhone& phone, const std::vector<std::string>& w, CommandChannel& out) {
    if (w.size() < 4 || w[1] != "-c" || w[2] != "%s") {
        out.write("stat: the phone simulator knows only stat -c %s PATH\n");
        return 1;
    }
    int rc = 0;
    for (size_t i = 3; i < w.size(); ++i) {
        const std::string path = storedPath(phone, withoutTrailingSlash(w[i]));
        nextPiece(phone, path);
        auto f = phone.files.find(path);
        if (f == phone.files.end()) {
            out.write("stat: '" + w[i] + "': No such file or directory\n");
            rc = 1;
        } else {
            out.write(std::to_string(f->second.size) + "\n");
        }
    }
    return rc;
}

int ls(const SimPhone& phone, const std::vector<std::string>& w, CommandChannel& out) {
    bool dots = false;
    std::vector<std::string> paths;
    for (size_t i = 1; i < w.size(); ++i) {
        if (w[i].size() > 1 && w[i][0] == '-') {
            dots = dots || w[i].find('a') != std::string::npos;
        } else {
            paths.push_back(w[i]);
        }
    }
    if (paths.empty()) paths.push_back("/");
    int rc = 0;
    for (const std::string& asked : paths) {
        const std::string path = storedPath(phone, withoutTrailingSlash(asked));
        if (phone.files.count(path)) {
            out.write(asked + "\n");
            continue;
        }
        const std::string inside = path == "/" ? path : path + "/";
        std::set<std::string> names;
        for (const auto& [file, unused] : phone.files) {
            if (file.rfind(inside, 0) != 0) continue;
            const std::string rest = file.substr(inside.size());
            names.insert(rest.substr(0, rest.find('/')));
        }
        if (names.empty() && !kStandardFolders.count(path)) {
            out.write("ls: " + asked + ": No such file or directory\n");
            rc = 1;
            continue;
        }
        std::string text = dots ? ".\n..\n" : "";
        for (const std::string& name : names) text += name + "\n";
        out.write(text);
    }
    return rc;
}

// mv [-n] FROM TO: TO a full path; -n leaves a file already there (by any case of its name)
// alone, saying nothing, as toybox's mv does.
int mv(SimPhone& phone, const std::vector<std::string>& w, CommandChannel& out) {
    const bool keep = w.size() == 4 && w[1] == "-n";
    if (w.size() != (keep ? 4u : 3u)) {
        out.write("mv: the phone simulator knows only mv [-n] FROM TO\n");
        return 1;
    }
    const std::string from = storedPath(phone, withoutTrailingSlash(w[keep ? 2 : 1]));
    const std::string to = storedPath(phone, withoutTrailingSlash(w[keep ? 3 : 2]));
    auto f = phone.files.find(from);
    if (f == phone.files.end() || phone.arriving.count(from)) {
        out.write("mv: bad '" + w[keep ? 2 : 1] + "': No such file or directory\n");
        return 1;
    }
    if (from == to || (keep && phone.files.count(to))) return 0;
    const PhoneFile moved = f->second;
    phone.files.erase(f);
    phone.files[to] = moved;
    // What arrived is told where it now is.
    for (auto a = phone.arrived.rbegin(); a != phone.arrived.rend(); ++a) {
        if (a->how == "push" && a->target == from) {
            a->target = to;
            break;
        }
    }
    return 0;
}

// rm [-f] PATH...
int rm(SimPhone& phone, const std::vector<std::string>& w, CommandChannel& out) {
    const bool force = w.size() > 1 && w[1] == "-f";
    int rc = 0;
    for (size_t i = force ? 2 : 1; i < w.size(); ++i) {
        if (phone.files.erase(storedPath(phone, withoutTrailingSlash(w[i]))) == 0 && !force) {
            out.write("rm: " + w[i] + ": No such file or directory\n");
            rc = 1;
        }
    }
    return rc;
}

}  // namespace

int pushFile(Simulator& sim, const std::string& phoneId, const std::string& local,
             const std::string& asked, const std::string& data, CommandChannel& out) {
    const PhoneFile whole{sha256Hex(data), data.size()};
    std::string remote = asked;
    std::string failure;
    bool slow = false;
    {
        std::lock_guard lock(sim.mutex);
        auto p = sim.find(phoneId);
        if (!p) return 1;
        // A push onto a name the storage already holds in another case writes that file.
        remote = storedPath(*p, remote);
        failure = p->pushFailure;
        if (failure.empty()) {
            slow = p->pushPiece > 0 || p->pushStall >= 0;
            if (!slow) {
                p->files[remote] = whole;
                p->arrived.push_back({"push", remote, data.size(), whole.sha256});
            } else {
                p->arriving[remote] = whole;
                // A link that only stalls brings what it brings at once.
                const uint64_t first =
                    p->pushPiece > 0 ? 0
                                     : std::min(whole.size, static_cast<uint64_t>(p->pushStall));
                p->files[remote] = {std::string(), first};
            }
        }
    }
    if (!failure.empty()) {
        out.write("adb: error: failed to copy '" + local + "' to '" + asked + "': remote " +
                  failure + "\n");
        return 1;
    }
    if (slow && !arrivedWhole(sim, phoneId, remote, out)) {
        out.write("adb: error: failed to copy '" + local + "' to '" + asked +
                  "': connection reset\n");
        return 1;
    }
    out.write(pushedLine(local, data.size()));
    return 0;
}

int storageCommand(Simulator& sim, const std::string& phoneId,
                   const std::vector<std::string>& words, CommandChannel& out) {
    if (words.empty()) return -1;
    const std::string& name = words[0];
    if (name != "ls" && name != "stat" && name != "mv" && name != "rm") return -1;
    std::lock_guard lock(sim.mutex);
    auto p = sim.find(phoneId);
    if (!p) return 1;
    if (name == "ls") return ls(*p, words, out);
    if (name == "stat") return stat(*p, words, out);
    return name == "mv" ? mv(*p, words, out) : rm(*p, words, out);
}

int putFile(Simulator& sim, const std::vector<std::string>& w, CommandChannel& out) {
    if (w.size() != 4 || w[2].empty() || w[2][0] != '/') {
        out.write("error: usage: putfile PHONE /PATH TEXT|@FILE\n");
        return 1;
    }
    std::string bytes = w[3];
    if (!bytes.empty() && bytes[0] == '@' && !readFile(widen(bytes.substr(1)), bytes)) {
        out.write("error: cannot read " + w[3].substr(1) + "\n");
        return 1;
    }
    std::lock_guard lock(sim.mutex);
    auto p = sim.find(w[1]);
    if (!p) {
        out.write("error: no phone " + w[1] + "\n");
        return 1;
    }
    p->files[withoutTrailingSlash(w[2])] = {sha256Hex(bytes), bytes.size()};
    return 0;
}

}  // namespace tov::phonesim
