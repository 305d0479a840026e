// The link to the input helper on the phone: starts the helper over adb from the copied package,
// forwards its port, checks its protocol version, and carries events to it and clipboard items
// and reports back. A link thread connects and reads; a sender thread writes everything queued.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "clipboard/clip_item.h"
#include "input/helper_inbox.h"
#include "input/input_messages.h"
#include "input/outgoing_queue.h"
#include "input/round_trip_meter.h"
#include "platform/process.h"
#include "platform/socket.h"

namespace tov {

// What the link needs from the phone side; the owner wires it to the adb runner, the phone
// monitor and the installer (inputPhoneLinkOverAdb), tests to stand-ins.
struct InputPhoneLink {
    // Empty when adb cannot be found.
    std::function<std::wstring()> findAdb;
    // The adb arguments that aim at the chosen phone ("-s SERIAL "); empty without a phone.
    std::function<std::wstring()> serialArgs;
    // True when the phone holds the current package at its helper path afterwards.
    std::function<bool(const std::wstring& adbPath, const std::wstring& serialArgs)> copyHelper;
    std::function<bool(const std::wstring& adbPath, const std::wstring& args, uint32_t timeoutMs)>
        runAdb;
    std::function<std::unique_ptr<ChildProcess>(const std::wstring& adbPath,
                                                const std::wstring& args)>
        startAdb;
};

// findAdb, runAdb and startAdb of the adb runner around the two inputs only the owner has.
InputPhoneLink inputPhoneLinkOverAdb(
    std::function<std::wstring()> serialArgs,
    std::function<bool(const std::wstring& adbPath, const std::wstring& serialArgs)> copyHelper);

struct InputLinkTimings {
    uint16_t port = 27184;
    uint32_t adbRetryMs = 2000;
    uint32_t noPhoneRetryMs = 1000;
    uint32_t copyRetryMs = 3000;
    uint32_t helperStartMs = 700;
    uint32_t connectRetryMs = 500;
    uint32_t handshakeTimeoutMs = 2000;
    // A phone that stops reading must not hold the socket lock for good.
    uint32_t sendTimeoutMs = 5000;
    int64_t pingIntervalMicros = 1000000;
};

class InputLink {
  public:
    enum State : int32_t { kNoPhone = 0, kConnecting = 1, kReady = 2, kHelperMissing = 3 };

    explicit InputLink(InputPhoneLink phone, InputLinkTimings timings = {});
    ~InputLink();
    InputLink(const InputLink&) = delete;
    InputLink& operator=(const InputLink&) = delete;

    // Each complete clipboard item from the phone, on the link thread. Set before start().
    void setPhoneClipHandler(ClipItemHandler handler) { onPhoneClip_ = std::move(handler); }

    void start();
    void stop();
    bool running() const { return running_; }

    void touch(TouchAction action, uint8_t pointer, float x, float y);
    void scroll(float x, float y, float horizontal, float vertical);
    void androidKey(bool down, int32_t keyCode, int32_t meta, uint32_t repeat);
    // A key-down and a key-up without meta state.
    void pressKey(int32_t keyCode);
    void hidKey(uint8_t usage, bool pressed);
    void mouseMotion(uint8_t buttons, int32_t dx, int32_t dy, int32_t wheel, int32_t hWheel);

    // Bit 0 virtual mouse, bit 1 virtual keyboard; 0 is Touch mode.
    void setMode(uint8_t bits);
    void setMouseOptions(bool exactRequested, float speed);
    void setClipOptions(const std::string& text);
    void sendClip(const ClipItem& item);

    int32_t state() const { return state_; }
    int32_t phoneWidth() const { return phoneWidth_; }
    int32_t phoneHeight() const { return phoneHeight_; }
    // -1 unknown, 0 refused, 1 accepted.
    int32_t exact() const { return exact_; }
    // The last round trip, -1 while not connected.
    int32_t rttMs() const { return rttMs_; }

  private:
    void linkLoop();
    void senderLoop();
    // Waits on the link thread; false when stop was asked for.
    bool pause(uint32_t ms);
    bool linkStopping();
    void stopHelper();
    void startHelper();
    std::unique_ptr<TcpSocket> handshake();
    void becomeReady();
    void readLoop(TcpSocket& socket);
    HelperReports helperReports();
    void onPong(int64_t roundTripMicros);
    void connectionLost();

    void queueEvent(const EventRecord& record);
    // Sends bytes under the socket lock; false when there is no socket or the send failed (the
    // connection is then shut down, since a half-sent message would garble every later one).
    bool sendBytes(const uint8_t* data, size_t size);
    bool sendRecord(const EventRecord& record);
    void sendModeMessage();

    InputPhoneLink phone_;
    InputLinkTimings timings_;
    ClipItemHandler onPhoneClip_;

    std::wstring adbPath_;
    std::wstring currentSerialArgs_;
    std::unique_ptr<ChildProcess> helperProcess_;
    int attempts_ = 0;
    HelperInbox inbox_;
    RoundTripMeter meter_;

    std::mutex socketLock_;
    std::unique_ptr<TcpSocket> socket_;

    std::atomic<int32_t> state_{kNoPhone};
    std::atomic<int32_t> phoneWidth_{0};
    std::atomic<int32_t> phoneHeight_{0};
    std::atomic<int32_t> exact_{-1};
    std::atomic<int32_t> rttMs_{-1};
    std::atomic<int32_t> movesIn_{0};
    std::atomic<int32_t> reportsOut_{0};
    std::mutex modeLock_;  // mode changes and the link turning ready, each with its sends
    std::atomic<uint8_t> mode_{0};
    std::atomic<bool> exactRequested_{false};
    std::atomic<float> speed_{1.0f};

    std::mutex queueLock_;
    std::condition_variable senderWake_;
    OutgoingQueue queue_;
    std::string clipOptionsText_;
    bool senderStop_ = false;

    std::mutex linkMutex_;
    std::condition_variable linkWake_;
    bool linkStop_ = false;

    std::mutex lifeMutex_;  // start and stop
    std::atomic<bool> running_{false};
    std::thread linkThread_;
    std::thread senderThread_;
};

}  // namespace tov
