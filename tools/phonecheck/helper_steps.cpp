#include "tools/phonecheck/helper_steps.h"

#include "input/input_messages.h"
#include "phone/app_installer.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "tools/phonecheck/phone_app_names.h"

namespace tov::phonecheck {
namespace {

constexpr uint32_t kHelperStartMs = 700;  // as Tovenmar waits before it connects
constexpr uint32_t kConnectRetryMs = 500;
constexpr int kConnectAttempts = 3;
constexpr uint32_t kPongLimitMs = 2000;

}  // namespace

bool HelperCheck::running() const {
    return process_ && process_->running();
}

void HelperCheck::stop() {
    socket_.reset();
    forward_.remove();
    if (process_) {
        process_->terminate(0);
        process_.reset();
    }
    if (started_) {
        context_.adb(std::wstring(L"shell pkill -f ") + kInputHelperClass, nullptr, 10000);
        started_ = false;
    }
}

std::string HelperCheck::greet(std::string& seen) {
    std::string why = "the helper's socket is not there (connections end at once)";
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        if (attempt > 0) sleepMs(kConnectRetryMs);
        std::unique_ptr<TcpSocket> socket = TcpSocket::connectLoopback(forward_.port());
        if (!socket) continue;
        socket->setNoDelay(true);
        socket->setReceiveTimeout(kHelperGreetingLimitMs);
        reader_.reset();
        Packet packet;
        const ReceiveStatus status = reader_.receive(*socket, packet);
        if (status == ReceiveStatus::TimedOut) {
            why = "no greeting within 2,000 ms of the connection";
            continue;
        }
        if (status != ReceiveStatus::Ok) continue;
        if (packet.header.type != input_msg::kHello) {
            return "the first message is type " + std::to_string(packet.header.type) +
                   ", not the greeting (type 1)";
        }
        if (packet.size >= 4096) return "the greeting is over 4,095 bytes";
        const TextMap hello = readTextMap(reinterpret_cast<const char*>(packet.payload), packet.size);
        const int32_t version = textNumber(hello, "version");
        const int32_t width = textNumber(hello, "width");
        const int32_t height = textNumber(hello, "height");
        seen = "version " + std::to_string(version) + ", screen " + std::to_string(width) + "x" +
               std::to_string(height);
        socket_ = std::move(socket);
        if (version != kInputHelperVersion) {
            return "version " + std::to_string(version) + "; Tovenmar needs " +
                   std::to_string(kInputHelperVersion) + " and restarts a helper that greets with another";
        }
        if (width <= 0 || height <= 0) return "no screen size in the greeting (" + seen + ")";
        return {};
    }
    return why;
}

std::string HelperCheck::pingPong(int64_t& roundTripUs) {
    const int64_t sent = nowMicros();
    const std::vector<uint8_t> ping = frameRecord(pingRecord(sent));
    if (!socket_->sendAll(ping.data(), ping.size())) return "the ping could not be sent";
    const int64_t deadline = sent + int64_t{kPongLimitMs} * 1000;
    while (true) {
        const int64_t left = (deadline - nowMicros()) / 1000;
        if (left <= 0) return "no pong within 2,000 ms";
        socket_->setReceiveTimeout(static_cast<uint32_t>(left) + 1);
        Packet packet;
        const ReceiveStatus status = reader_.receive(*socket_, packet);
        if (status == ReceiveStatus::TimedOut) return "no pong within 2,000 ms";
        if (status != ReceiveStatus::Ok) return "the helper closed the connection";
        if (packet.size > helperPayloadLimit(packet.header.type)) {
            return "a message of type " + std::to_string(packet.header.type) + " with " +
                   std::to_string(packet.size) + " bytes, over Tovenmar's limit (it drops the link)";
        }
        if (packet.header.type != input_msg::kPong) continue;  // screen size, clipboard, ...
        if (packet.size != 8) {
            return "a pong of " + std::to_string(packet.size) +
                   " bytes; it must echo the ping's 8";
        }
        if (static_cast<int64_t>(readU64(packet.payload)) != sent) {
            return "a pong that does not echo the ping's clock value";
        }
        roundTripUs = nowMicros() - sent;
        return {};
    }
}

void HelperCheck::run(CheckReport& report) {
    const char* greetStep = "input helper greets with version 11 and a screen size";
    const char* pingStep = "input helper answers pings";
    const char* inputStep = "input helper takes a tap and a key";
    const std::wstring command = context_.prefix + L"shell CLASSPATH=" + widen(kHelperPhonePath) +
                                 L" app_process / " + kInputHelperClass;
    process_ = startAdb(context_.options.adbPath, command);
    std::string why, seen;
    if (!process_) {
        why = "adb could not be started";
    } else {
        started_ = true;
        sleepMs(kHelperStartMs);
        if (!forward_.open(kInputSocket, why)) {
            // why says so
        } else {
            why = greet(seen);
            if (!why.empty() && !socket_ && !process_->running()) {
                why += "; the helper's adb shell ended with code " +
                       std::to_string(process_->exitCode());
            }
        }
    }
    if (why.empty()) {
        report.ok(greetStep, seen);
    } else {
        report.failed(greetStep, why);
    }
    if (!socket_) {
        report.failed(pingStep, "not reached: no connection to the helper");
        report.failed(inputStep, "not reached: no connection to the helper");
        return;
    }

    int64_t best = INT64_MAX;
    std::string pingWhy;
    for (int i = 0; i < 3 && pingWhy.empty(); ++i) {
        int64_t rtt = 0;
        pingWhy = pingPong(rtt);
        best = std::min(best, rtt);
    }
    if (pingWhy.empty()) {
        report.ok(pingStep, "3 of 3, best round trip " + roundTripText(best));
    } else {
        report.failed(pingStep, pingWhy);
    }

    if (!context_.options.inject) {
        report.skipped(inputStep, "--no-input");
        return;
    }
    // A tap on the status bar, which opens nothing, and Shift pressed and let go: input the phone
    // takes without anything changing on it. The ping after them shows the link took them.
    std::vector<uint8_t> bytes;
    for (const EventRecord& r :
         {touchRecord(TouchAction::Down, 0, 0.5f, 0.005f), touchRecord(TouchAction::Up, 0, 0.5f, 0.005f),
          androidKeyRecord(true, 59, 0, 0), androidKeyRecord(false, 59, 0, 0)}) {
        const std::vector<uint8_t> framed = frameRecord(r);
        bytes.insert(bytes.end(), framed.begin(), framed.end());
    }
    if (!socket_->sendAll(bytes.data(), bytes.size())) {
        report.failed(inputStep, "the helper closed the connection before the tap");
        return;
    }
    int64_t rtt = 0;
    const std::string after = pingPong(rtt);
    if (after.empty()) {
        report.ok(inputStep, "a tap at the status bar and Shift, then a pong");
    } else {
        report.failed(inputStep, "after a tap and a key: " + after);
    }
}

}  // namespace tov::phonecheck
