// For tests and scripts: starts a phone simulator daemon with a scenario, points adb stand-ins at
// it (through the environment, which children and Wine inherit), and talks to its control port.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"
#include "session/text_map.h"
#include "tools/phonesim/daemon_link.h"

namespace tov::phonesim {

struct ClipItemRecord {
    int kind = 0;
    bool isPrivate = false;
    std::string mime;
    std::string data;
};

// One control command against the daemon on `port`.
LinkAnswer controlCommand(uint16_t port, const std::string& line);

// Parsers for the control answers.
std::vector<TextMap> parseOptionsReport(const std::string& text);
std::vector<ClipItemRecord> parseClipsReport(const std::string& text);
std::vector<std::string> lines(const std::string& text);

class PhoneSimulator {
  public:
    PhoneSimulator() = default;
    ~PhoneSimulator();
    PhoneSimulator(const PhoneSimulator&) = delete;
    PhoneSimulator& operator=(const PhoneSimulator&) = delete;

    // Starts `phonesim serve` (the program beside the running one, or `program`) with the
    // scenario text and sets TOVENMAR_PHONESIM for this process. False with a reason.
    bool start(const std::string& scenario, std::string* error = nullptr,
               const std::wstring& program = {});
    // Asks the daemon to quit and waits for it (then ends it by force).
    void stop();
    uint16_t port() const { return port_; }

    LinkAnswer control(const std::string& line) const { return controlCommand(port_, line); }
    // The control command's output; an empty text when it failed.
    std::string ask(const std::string& line) const;
    bool ok(const std::string& line) const { return control(line).exitCode == 0; }

    std::vector<std::string> events(const std::string& phone) const;
    std::vector<std::string> streamEvents(const std::string& phone) const;
    std::vector<TextMap> options(const std::string& phone) const;
    std::vector<ClipItemRecord> clips(const std::string& phone) const;
    std::vector<std::string> commands() const;
    // What reached the phone: "push PATH size=N sha256=HEX" or "install PACKAGE size=N ...".
    std::vector<std::string> arrived(const std::string& phone) const;
    TextMap status(const std::string& phone) const;
    // The phone's link: "rate" (Mbit/s, 0: not shaped), "delay" (ms), and its backlog: "queued"
    // (bytes), "wait" (ms the oldest has waited), "delivered" (bytes). Shaped with
    // ok("link ID rate=MBPS delay=MS"), freed with ok("link ID free").
    TextMap link(const std::string& phone) const;

  private:
    std::unique_ptr<ChildProcess> daemon_;
    std::wstring folder_;
    uint16_t port_ = 0;
};

}  // namespace tov::phonesim
