// The link to the input helper on the phone: starts the helper over adb from the copied package,
// forwards its port, checks its protocol version, and carries events to it and clipboard items
// and reports back. A link thread connects and reads; a sender thread writes everything queued.
// Start and stop never wait on adb: a stop cuts the adb command in flight short and leaves the
// helper's clean-up to the link thread, and a start right after waits for that on its own thread.
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
#include "core/adb_forward.h"
#include "core/stream_shape.h"
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
    // `output` (may be null) receives what adb printed.
    std::function<bool(const std::wstring& adbPath, const std::wstring& args, std::string* output,
                       uint32_t timeoutMs)>
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
    uint16_t port = 0;  // the PC end of the helper's forward; 0: a free port adb chooses
    uint32_t adbRetryMs = 2000;
    uint32_t noPhoneRetryMs = 1000;
    uint32_t copyRetryMs = 3000;
    uint32_t helperStartMs = 700;
    uint32_t connectRetryMs = 500;
    uint32_t handshakeTimeoutMs = 2000;
    // A phone that stops reading must not hold the socket lock for good.
    uint32_t sendTimeoutMs = 5000;
    int64_t pingIntervalMicros = 1000000;
    // Closing waits this long for the helper's clean-up before cutting its adb command short.
    uint32_t closeGraceMs = 2000;
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
    // Called on the link thread when the state, the phone's screen size or the mouse answer
    // changed, so that the panel need not ask. Set before start().
    void setChangeHandler(std::function<void()> handler) { onChange_ = std::move(handler); }

    // Neither waits for the link thread.
    void start();
    void stop();
    // A running link begins again, from finding the phone (the chosen phone changed); a stopped
    // one stays stopped. One step, so that a start or stop on another thread cannot fall between.
    void restart();
    // Stops and waits for the link thread's end, at most closeGraceMs for its clean-up.
    void finish();
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
    // The phone's screen as the helper last reported it, both sides from one report; 0 x 0
    // while not connected.
    ScreenSize phoneSize() const;
    // -1 unknown, 0 refused, 1 accepted.
    int32_t exact() const { return exact_; }
    // The last round trip, -1 while not connected.
    int32_t rttMs() const { return rttMs_; }

  private:
    // One run from a start to its stop, with its own stop flags, so that a start right after a
    // stop cannot revive the run that is ending.
    struct Run {
        bool stop = false;        // under linkMutex_
        bool senderStop = false;  // under queueLock_
        CommandCancel adb;        // cuts the run's adb command short at its stop
        std::thread previous;     // the run before, waited for before this one begins
    };

    // Under lifeMutex_.
    void beginRun();
    void endRun(Run& run);
    void runThread(const std::shared_ptr<Run>& run);
    void linkLoop();
    void senderLoop(Run& run);
    // Waits on the link thread; false when stop was asked for.
    bool pause(uint32_t ms);
    bool linkStopping();
    void stopHelper();
    // State and round trip are written by the link thread only while its run goes on: after a
    // stop they stay as the stop left them.
    void setState(int32_t state);
    void setPhoneSize(int32_t width, int32_t height);
    void startHelper();
    std::unique_ptr<TcpSocket> handshake(uint16_t port);
    AdbForward::Run adbRun();
    void becomeReady();
    void readLoop(TcpSocket& socket);
    HelperReports helperReports();
    void onPong(int64_t roundTripMicros);
    void changed() {
        if (onChange_) onChange_();
    }
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
    std::function<void()> onChange_;

    std::wstring adbPath_;
    std::wstring currentSerialArgs_;
    std::unique_ptr<ChildProcess> helperProcess_;
    int attempts_ = 0;
    AdbForward forward_;  // the helper's, kept while the helper runs
    HelperInbox inbox_;
    RoundTripMeter meter_;

    std::mutex socketLock_;
    std::unique_ptr<TcpSocket> socket_;

    std::atomic<int32_t> state_{kNoPhone};
    std::atomic<uint64_t> phoneSize_{0};  // width in the high half, height in the low
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

    std::mutex linkMutex_;
    std::condition_variable linkWake_;
    Run* linkRun_ = nullptr;  // the run of the link thread at work; that thread only

    std::mutex lifeMutex_;  // start, stop, restart and finish
    std::atomic<bool> running_{false};
    std::shared_ptr<Run> run_;  // the run the last start began
    std::thread linkThread_;    // its thread, which waits for the threads of earlier runs
    // Cuts the clean-up's adb command short when closing cannot wait any longer.
    CommandCancel closing_;
    std::mutex endMutex_;
    std::condition_variable ended_;
    int runsAlive_ = 0;  // under endMutex_
};

}  // namespace tov
