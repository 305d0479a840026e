// A local port forwarded to a phone service for as long as the object lives, as Tovenmar makes
// them: "forward tcp:0 REMOTE" lets adb pick the port and print it; an adb too old for that is
// given a free port picked here.
#pragma once

#include <cstdint>
#include <string>

#include "tools/phonecheck/check_context.h"

namespace tov::phonecheck {

class AdbForward {
  public:
    explicit AdbForward(const CheckContext& context) : context_(context) {}
    ~AdbForward() { remove(); }
    AdbForward(const AdbForward&) = delete;
    AdbForward& operator=(const AdbForward&) = delete;

    // "tcp:27183" or "localabstract:NAME". False with adb's answer in `error`.
    bool open(const std::string& remote, std::string& error);
    uint16_t port() const { return port_; }
    void remove();

  private:
    const CheckContext& context_;
    uint16_t port_ = 0;
};

}  // namespace tov::phonecheck
