// Simulator::control: scenario lines and run-time control commands (see README.md).
#include "platform/files.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "tools/phonesim/link_control.h"
#include "tools/phonesim/phone_storage.h"
#include "tools/phonesim/shell_words.h"
#include "tools/phonesim/simulator.h"
#include "tools/phonesim/stream_server.h"
#include "tools/phonesim/wifi_control.h"

namespace tov::phonesim {
namespace {

std::string hex(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 15]);
    }
    return out;
}

class Control {
  public:
    Control(Simulator& sim, CommandChannel& out) : sim_(sim), out_(out) {}

    int run(const std::vector<std::string>& w) {
        if (w.empty()) return 0;
        const std::string& verb = w[0];
        if (verb == "quit") {
            sim_.requestQuit();
            return 0;
        }
        if (verb == "phone") return phone(w);
        if (verb == "hang") return hang(w, sim_.hangs);
        if (verb == "nohang") {
            std::lock_guard lock(sim_.mutex);
            sim_.hangs.clear();
            return 0;
        }
        if (verb == "fail") return hang(w, sim_.failures);
        if (verb == "nofail") {
            std::lock_guard lock(sim_.mutex);
            sim_.failures.clear();
            return 0;
        }
        if (verb == "commands") {
            std::lock_guard lock(sim_.mutex);
            for (const std::string& c : sim_.commandLog) out_.write(c + "\n");
            return 0;
        }
        if (verb == "forwards") {
            for (const std::string& line : sim_.forwards.list()) out_.write(line + "\n");
            return 0;
        }
        if (verb == "feeds") {
            out_.write(std::to_string(sim_.runningFeeds.load()) + "\n");
            return 0;
        }
        if (verb == "list") {
            std::lock_guard lock(sim_.mutex);
            for (const auto& p : sim_.phones) out_.write(p->id + "\n");
            return 0;
        }
        if (isWifiControl(verb)) return wifiControl(sim_, w, out_);
        if (verb == "link") return linkControl(sim_, w, out_);
        if (w.size() < 2) return fail("usage: " + verb + " PHONE ...");
        if (verb == "plug" || verb == "unplug") return plug(w, verb == "plug");
        if (verb == "remove") return remove(w[1]);
        if (verb == "stream") return stream(w);
        if (verb == "helper") return helper(w);
        if (verb == "app") return app(w);
        if (verb == "putclip") return putclip(w);
        if (verb == "putfile") return putFile(sim_, w, out_);
        if (verb == "inputstate") return inputState(w);
        return report(verb, w[1]);
    }

  private:
    int fail(const std::string& text) {
        out_.write("error: " + text + "\n");
        return 1;
    }

    int phone(const std::vector<std::string>& w) {
        if (w.size() < 2) return fail("usage: phone ID key=value...");
        std::lock_guard lock(sim_.mutex);
        std::shared_ptr<SimPhone> p;
        for (const auto& x : sim_.phones) {
            if (x->id == w[1]) p = x;
        }
        const bool created = !p;
        SimPhone edited = p ? *p : SimPhone{};
        edited.id = w[1];
        for (size_t i = 2; i < w.size(); ++i) {
            const size_t eq = w[i].find('=');
            if (eq == std::string::npos || eq == 0) return fail("not key=value: " + w[i]);
            const std::string key = w[i].substr(0, eq), value = w[i].substr(eq + 1);
            std::string error;
            if (key == "apk" || key == "helper") {
                if (!placeFile(edited, key, value, error)) return fail(error);
            } else if (!applyPhoneSetting(edited, key, value, error)) {
                return fail(error);
            }
        }
        if (edited.serialno.empty()) {
            edited.serialno = !edited.usb.serial.empty() ? edited.usb.serial : edited.id;
        }
        if (created) {
            sim_.phones.push_back(std::make_shared<SimPhone>(std::move(edited)));
        } else {
            *p = std::move(edited);
        }
        return 0;
    }

    static bool placeFile(SimPhone& phone, const std::string& key, const std::string& path,
                          std::string& error) {
        if (path == "none") {
            if (key == "apk") phone.appDigest.clear();
            if (key == "helper") phone.files.erase(kHelperPath);
            return true;
        }
        std::string bytes;
        if (!readFile(widen(path), bytes)) {
            error = "cannot read " + path;
            return false;
        }
        if (key == "apk") {
            phone.appDigest = sha256Hex(bytes);
            phone.appForeign = false;
        } else {
            phone.files[kHelperPath] = {sha256Hex(bytes), bytes.size()};
        }
        return true;
    }

    // "hang" and "fail": the command texts that start with WORDS, into `texts`.
    int hang(const std::vector<std::string>& w, std::vector<std::string>& texts) {
        std::string text;
        for (size_t i = 1; i < w.size(); ++i) text += (i > 1 ? " " : "") + w[i];
        if (text.empty()) return fail("usage: " + w[0] + " COMMAND WORDS");
        std::lock_guard lock(sim_.mutex);
        texts.push_back(text);
        return 0;
    }

    int plug(const std::vector<std::string>& w, bool on) {
        std::vector<std::pair<std::string, std::string>> gone;  // phone id, serial
        {
            std::lock_guard lock(sim_.mutex);
            auto p = sim_.find(w[1]);
            if (!p) return fail("no phone " + w[1]);
            const std::string which = w.size() > 2 ? w[2] : (on ? "usb" : "all");
            if (which != "usb" && which != "wifi" && which != "all") {
                return fail("usb, wifi or all");
            }
            for (PhoneLink* link : {&p->usb, &p->wifi}) {
                const bool picked = which == "all" || (which == "usb") == (link == &p->usb);
                if (!picked) continue;
                if (link->serial.empty()) return fail(w[1] + " has no " + which + " serial");
                if (!on && link->plugged) gone.emplace_back(p->id, link->serial);
                link->plugged = on;
            }
        }
        for (const auto& [id, serial] : gone) sim_.linkGone(id, serial);
        return 0;
    }

    int remove(const std::string& id) {
        std::shared_ptr<SimPhone> p;
        {
            std::lock_guard lock(sim_.mutex);
            p = sim_.find(id);
            if (!p) return fail("no phone " + id);
            std::erase(sim_.phones, p);
        }
        for (const PhoneLink* link : {&p->usb, &p->wifi}) {
            if (!link->serial.empty()) sim_.linkGone(p->id, link->serial);
        }
        return 0;
    }

    int stream(const std::vector<std::string>& w) {
        if (w.size() != 3)
            return fail("usage: stream PHONE stall|resume|still|moving|drop|malformed|overlong|maxsize");
        std::string id;
        {
            std::lock_guard lock(sim_.mutex);
            auto p = sim_.find(w[1]);
            if (!p) return fail("no phone " + w[1]);
            id = p->id;
            const std::string& what = w[2];
            if (what == "stall" || what == "resume") {
                p->stalled = what == "stall";
                return 0;
            }
            if (what == "still" || what == "moving") {
                p->still = what == "still";
                return 0;
            }
            if (what != "drop") {
                const std::string bytes = faultPackets(what);
                if (bytes.empty()) return fail("unknown stream fault " + what);
                p->streamInjections.push_back(bytes);
                return 0;
            }
        }
        const int n = sim_.connections.cut([&](const ConnectionInfo& c) {
            return c.phoneId == id &&
                   (c.kind == ServiceKind::AppStream || c.kind == ServiceKind::NoAppStream);
        });
        out_.write(std::to_string(n) + "\n");
        return 0;
    }

    int helper(const std::vector<std::string>& w) {
        if (w.size() != 3 || w[2] != "kill") return fail("usage: helper PHONE kill");
        std::string id;
        {
            std::lock_guard lock(sim_.mutex);
            auto p = sim_.find(w[1]);
            if (!p) return fail("no phone " + w[1]);
            if (p->helperRun == 0) return fail("no helper runs on " + w[1]);
            p->helperRun = 0;
            id = p->id;
        }
        sim_.helperGone(id);
        return 0;
    }

    int app(const std::vector<std::string>& w) {
        if (w.size() != 3 || (w[2] != "start" && w[2] != "stop")) {
            return fail("usage: app PHONE start|stop");
        }
        std::string id;
        {
            std::lock_guard lock(sim_.mutex);
            auto p = sim_.find(w[1]);
            if (!p) return fail("no phone " + w[1]);
            p->appRunning = w[2] == "start";
            p->appServesAtMs = 0;
            id = p->id;
        }
        if (w[2] == "stop") {
            sim_.connections.cut([&](const ConnectionInfo& c) {
                return c.phoneId == id && c.kind == ServiceKind::AppStream;
            });
        }
        return 0;
    }

    // putclip PHONE [private] MIME DATA, or MIME @FILE for a file's bytes.
    int putclip(const std::vector<std::string>& w) {
        size_t i = 2;
        const bool isPrivate = i < w.size() && w[i] == "private";
        if (isPrivate) ++i;
        if (w.size() != i + 2) return fail("usage: putclip PHONE [private] MIME DATA|@FILE");
        ClipRecord item;
        item.mime = w[i];
        item.kind = item.mime.rfind("text/", 0) == 0 ? 1 : 2;
        item.isPrivate = isPrivate;
        item.data = w[i + 1];
        if (!item.data.empty() && item.data[0] == '@' &&
            !readFile(widen(item.data.substr(1)), item.data)) {
            return fail("cannot read " + w[i + 1].substr(1));
        }
        std::lock_guard lock(sim_.mutex);
        auto p = sim_.find(w[1]);
        if (!p) return fail("no phone " + w[1]);
        p->clipsOut.push_back(std::move(item));
        return 0;
    }

    // inputstate PHONE keyboard=0|1 mouse=0|1 (either or both): the phone's user changes its
    // input state on the phone.
    int inputState(const std::vector<std::string>& w) {
        TextMap change;
        for (size_t i = 2; i < w.size(); ++i) {
            const size_t eq = w[i].find('=');
            const std::string key = w[i].substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : w[i].substr(eq + 1);
            if ((key != "keyboard" && key != "mouse") || (value != "0" && value != "1")) {
                change.clear();
                break;
            }
            change[key] = value;
        }
        if (change.empty()) return fail("usage: inputstate PHONE keyboard=0|1 mouse=0|1");
        std::lock_guard lock(sim_.mutex);
        auto p = sim_.find(w[1]);
        if (!p) return fail("no phone " + w[1]);
        p->ownInputChanges.push_back(std::move(change));
        return 0;
    }

    int report(const std::string& verb, const std::string& id) {
        std::lock_guard lock(sim_.mutex);
        auto p = sim_.find(id);
        if (!p) return fail("no phone " + id);
        std::string text;
        if (verb == "events") {
            for (const std::string& e : p->events) text += e + "\n";
        } else if (verb == "streamevents") {
            for (const std::string& e : p->streamEvents) text += e + "\n";
        } else if (verb == "options") {
            for (size_t n = 0; n < p->options.size(); ++n) {
                text += "--- " + std::to_string(n + 1) + "\n";
                for (const auto& [k, v] : p->options[n]) text += k + "=" + v + "\n";
            }
        } else if (verb == "clips") {
            for (const ClipRecord& c : p->clipsIn) {
                text += "clip kind=" + std::to_string(c.kind) +
                        " private=" + (c.isPrivate ? "1" : "0") + " mime=" + c.mime +
                        " data=" + hex(c.data) + "\n";
            }
        } else if (verb == "files") {
            for (const auto& [path, file] : p->files) text += file.sha256 + "  " + path + "\n";
        } else if (verb == "arrived") {
            for (const ArrivedFile& f : p->arrived) {
                text += f.how + " " + f.target + " size=" + std::to_string(f.size) +
                        " sha256=" + f.sha256 + "\n";
            }
        } else if (verb == "grants") {
            for (const std::string& g : p->grants) text += g + "\n";
        } else if (verb == "status") {
            text += "usb=" + std::string(p->usb.plugged ? p->usb.serial : "") + "\n";
            text += "wifi=" + std::string(p->wifi.plugged ? p->wifi.serial : "") + "\n";
            text += "state=" + p->state + "\n";
            text += "app=" + p->appDigest + "\n";
            text += "appRunning=" + std::string(p->appRunning ? "1" : "0") + "\n";
            text += "helper=" + std::string(p->helperRun != 0 ? "1" : "0") + "\n";
            auto h = p->files.find(kHelperPath);
            text += "helperFile=" + (h == p->files.end() ? std::string() : h->second.sha256) + "\n";
            text += "screen=" + std::to_string(p->screenWidth()) + "x" +
                    std::to_string(p->screenHeight()) + "\n";
            text += "override=" +
                    (p->overrideWidth > 0 ? std::to_string(p->overrideWidth) + "x" +
                                                std::to_string(p->overrideHeight)
                                          : std::string()) +
                    "\n";
            text += "pings=" + std::to_string(p->pings) + "\n";
            text += "stalled=" + std::string(p->stalled ? "1" : "0") + "\n";
            text += "still=" + std::string(p->still ? "1" : "0") + "\n";
        } else if (verb == "clear") {
            p->options.clear();
            p->events.clear();
            p->clipsIn.clear();
            p->streamEvents.clear();
            p->grants.clear();
            p->arrived.clear();
            p->pings = 0;
        } else {
            return fail("unknown command " + verb);
        }
        out_.write(text);
        return 0;
    }

    Simulator& sim_;
    CommandChannel& out_;
};

}  // namespace

int Simulator::control(const std::string& line, CommandChannel& channel) {
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') return 0;  // blank or a comment
    return Control(*this, channel).run(splitWords(line));
}

}  // namespace tov::phonesim
