// The input helper: started from the helper file with app_process as Tovenmar starts it, its
// greeting (version 11 and the screen size), its pongs, and a tap and a key taken without the
// link breaking. It keeps running until stop(), since it also serves the No app stream.
#pragma once

#include <memory>

#include "platform/process.h"
#include "platform/socket.h"
#include "session/packet_reader.h"
#include "tools/phonecheck/adb_forward.h"
#include "tools/phonecheck/check_context.h"
#include "tools/phonecheck/check_report.h"

namespace tov::phonecheck {

class HelperCheck {
  public:
    explicit HelperCheck(const CheckContext& context) : context_(context), forward_(context) {}
    ~HelperCheck() { stop(); }
    HelperCheck(const HelperCheck&) = delete;
    HelperCheck& operator=(const HelperCheck&) = delete;

    void run(CheckReport& report);
    // The helper's process still runs (so the No app stream may be served).
    bool running() const;
    // Ends the helper as Tovenmar does: its adb command, then "pkill -f" on the phone.
    void stop();

  private:
    // The greeting; an empty text when it is as Tovenmar needs it, else why not.
    std::string greet(std::string& seen);
    // Sends a ping and waits for its pong; an empty text when it came, else why not.
    std::string pingPong(int64_t& roundTripUs);

    const CheckContext& context_;
    AdbForward forward_;
    std::unique_ptr<ChildProcess> process_;
    std::unique_ptr<TcpSocket> socket_;
    PacketReader reader_;
    bool started_ = false;
};

}  // namespace tov::phonecheck
