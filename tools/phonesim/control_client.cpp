#include "tools/phonesim/control_client.h"

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tov::phonesim {
namespace {

std::string unhex(const std::string& text) {
    auto digit = [](char c) {
        return c >= 'a' ? c - 'a' + 10 : (c >= 'A' ? c - 'A' + 10 : c - '0');
    };
    std::string out;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        out.push_back(static_cast<char>(digit(text[i]) * 16 + digit(text[i + 1])));
    }
    return out;
}

// "name a=1 b=2" → {a: 1, b: 2}
TextMap words(const std::string& line) {
    TextMap out;
    size_t at = 0;
    while (at < line.size()) {
        size_t end = line.find(' ', at);
        if (end == std::string::npos) end = line.size();
        const std::string word = line.substr(at, end - at);
        const size_t eq = word.find('=');
        if (eq != std::string::npos) out[word.substr(0, eq)] = word.substr(eq + 1);
        at = end + 1;
    }
    return out;
}

}  // namespace

LinkAnswer controlCommand(uint16_t port, const std::string& line) {
    return exchange(port, {{LinkMessage::Control, line}});
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

std::vector<TextMap> parseOptionsReport(const std::string& text) {
    std::vector<TextMap> out;
    for (const std::string& line : lines(text)) {
        if (line.rfind("--- ", 0) == 0) {
            out.emplace_back();
        } else if (!out.empty()) {
            const size_t eq = line.find('=');
            if (eq != std::string::npos) out.back()[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return out;
}

std::vector<ClipItemRecord> parseClipsReport(const std::string& text) {
    std::vector<ClipItemRecord> out;
    for (const std::string& line : lines(text)) {
        if (line.rfind("clip ", 0) != 0) continue;
        const TextMap w = words(line);
        ClipItemRecord item;
        item.kind = std::atoi(w.count("kind") ? w.at("kind").c_str() : "0");
        item.isPrivate = w.count("private") && w.at("private") == "1";
        item.mime = w.count("mime") ? w.at("mime") : "";
        item.data = unhex(w.count("data") ? w.at("data") : "");
        out.push_back(std::move(item));
    }
    return out;
}

PhoneSimulator::~PhoneSimulator() {
    stop();
}

bool PhoneSimulator::start(const std::string& scenario, std::string* error,
                           const std::wstring& program) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        stop();
        return false;
    };
    stop();
    folder_ = joinPath(tempFolder(), L"phonesim-" + std::to_wstring(nowMicros()));
    if (!createDirectory(folder_)) return fail("cannot make " + narrow(folder_));
    const std::wstring scenarioFile = joinPath(folder_, L"scenario.txt");
    const std::wstring portFile = joinPath(folder_, L"port");
    const std::wstring logFile = joinPath(folder_, L"daemon.log");
    if (!writeFile(scenarioFile, scenario)) return fail("cannot write the scenario");
    const std::wstring exe = program.empty() ? exeFolder() + L"phonesim" + kExeSuffix : program;
    daemon_ = ChildProcess::start(L"\"" + exe + L"\" serve --port-file \"" + portFile +
                                      L"\" --scenario \"" + scenarioFile + L"\" --exit-with-parent",
                                  logFile);
    if (!daemon_) return fail("cannot start " + narrow(exe));
    const uint64_t deadline = tickMs() + 10000;
    while (tickMs() < deadline) {
        std::string text;
        if (readFile(portFile, text) && (port_ = parsePort(text)) != 0) {
            setEnv(kPortVariable, std::to_wstring(port_).c_str());
            return true;
        }
        if (!daemon_->running()) break;
        sleepMs(10);
    }
    std::string log;
    readFile(logFile, log);
    return fail("the phone simulator did not start: " + log);
}

void PhoneSimulator::stop() {
    if (daemon_) {
        if (port_ != 0) control("quit");
        if (!daemon_->wait(5000)) daemon_->terminate();
        daemon_.reset();
        setEnv(kPortVariable, nullptr);
    }
    port_ = 0;
    if (!folder_.empty()) {
        removeTree(folder_);
        folder_.clear();
    }
}

std::string PhoneSimulator::ask(const std::string& line) const {
    const LinkAnswer a = control(line);
    return a.exitCode == 0 ? a.output : std::string();
}

std::vector<std::string> PhoneSimulator::events(const std::string& phone) const {
    return lines(ask("events " + phone));
}

std::vector<std::string> PhoneSimulator::streamEvents(const std::string& phone) const {
    return lines(ask("streamevents " + phone));
}

std::vector<TextMap> PhoneSimulator::options(const std::string& phone) const {
    return parseOptionsReport(ask("options " + phone));
}

std::vector<ClipItemRecord> PhoneSimulator::clips(const std::string& phone) const {
    return parseClipsReport(ask("clips " + phone));
}

std::vector<std::string> PhoneSimulator::commands() const {
    return lines(ask("commands"));
}

std::vector<std::string> PhoneSimulator::arrived(const std::string& phone) const {
    return lines(ask("arrived " + phone));
}

TextMap PhoneSimulator::status(const std::string& phone) const {
    return readTextMap(ask("status " + phone));
}

TextMap PhoneSimulator::link(const std::string& phone) const {
    return readTextMap(ask("link " + phone));
}

}  // namespace tov::phonesim
