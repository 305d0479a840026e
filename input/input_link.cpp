#include "input/input_link.h"

#include <optional>
#include <utility>

#include "core/log.h"
#include "input/fine_timer.h"
#include "phone/adb_runner.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "session/packet.h"
#include "session/text_map.h"

namespace tov {
namespace {

constexpr const char* kHelperPath = "/data/local/tmp/tovenmar.apk";
constexpr const wchar_t* kHelperClass = L"com.tovenmar.app.input.InputServer";
constexpr const char* kHelperSocket = "localabstract:tovenmar-input";
// Pongs claiming more than this are garbage, not round trips.
constexpr int64_t kLongestRoundTripMicros = 3600LL * 1000000;
// Waits this short are a mouse report's slot, not the link at rest.
constexpr int64_t kFineWaitMicros = 20000;

}  // namespace

InputPhoneLink inputPhoneLinkOverAdb(
    std::function<std::wstring()> serialArgs,
    std::function<bool(const std::wstring&, const std::wstring&)> copyHelper) {
    InputPhoneLink link;
    link.findAdb = [] { return findAdb(); };
    link.serialArgs = std::move(serialArgs);
    link.copyHelper = std::move(copyHelper);
    link.runAdb = [](const std::wstring& adb, const std::wstring& args, std::string* output,
                     uint32_t timeoutMs) { return runAdb(adb, args, output, timeoutMs); };
    link.startAdb = [](const std::wstring& adb, const std::wstring& args) {
        return startAdb(adb, args);
    };
    return link;
}

InputLink::InputLink(InputPhoneLink phone, InputLinkTimings timings)
    : phone_(std::move(phone)), timings_(timings), forward_("input"), inbox_(helperReports()) {}

InputLink::~InputLink() {
    finish();
}

void InputLink::start() {
    std::lock_guard<std::mutex> life(lifeMutex_);
    if (!running_) beginRun();
}

void InputLink::stop() {
    std::lock_guard<std::mutex> life(lifeMutex_);
    if (running_) endRun(*run_);
}

void InputLink::restart() {
    std::lock_guard<std::mutex> life(lifeMutex_);
    if (!running_) return;
    endRun(*run_);
    beginRun();
}

void InputLink::finish() {
    std::lock_guard<std::mutex> life(lifeMutex_);
    if (running_) endRun(*run_);
    {
        std::unique_lock<std::mutex> lock(endMutex_);
        if (!ended_.wait_for(lock, std::chrono::milliseconds(timings_.closeGraceMs),
                             [this] { return runsAlive_ == 0; })) {
            logLine("input: the helper's clean-up is cut short");
            closing_.cancel();
        }
    }
    if (linkThread_.joinable()) linkThread_.join();
}

void InputLink::beginRun() {
    auto run = std::make_shared<Run>();
    run->previous = std::move(linkThread_);
    run_ = run;
    {
        std::lock_guard<std::mutex> lock(endMutex_);
        ++runsAlive_;
    }
    running_ = true;
    linkThread_ = std::thread([this, run] { runThread(run); });
}

void InputLink::endRun(Run& run) {
    {
        std::lock_guard<std::mutex> lock(linkMutex_);
        run.stop = true;
        state_ = kNoPhone;
        rttMs_ = -1;
    }
    linkWake_.notify_all();
    run.adb.cancel();
    {
        std::lock_guard<std::mutex> lock(socketLock_);
        if (socket_) socket_->shutdown();
    }
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        run.senderStop = true;
    }
    senderWake_.notify_all();
    running_ = false;
}

void InputLink::runThread(const std::shared_ptr<Run>& run) {
    // The run before still owns the helper, the socket and the queue until its thread ends.
    if (run->previous.joinable()) run->previous.join();
    linkRun_ = run.get();
    // A run stopped before it began finds the helper already cleaned up.
    if (!linkStopping()) {
        std::thread sender([this, run] { senderLoop(*run); });
        {
            const CommandCancelScope cutAtStop(run->adb);
            linkLoop();
        }
        {
            const CommandCancelScope cutAtClose(closing_);
            {
                std::lock_guard<std::mutex> lock(socketLock_);
                socket_.reset();
            }
            stopHelper();
        }
        sender.join();
    }
    {
        std::lock_guard<std::mutex> lock(endMutex_);
        --runsAlive_;
    }
    ended_.notify_all();
}

bool InputLink::linkStopping() {
    std::lock_guard<std::mutex> lock(linkMutex_);
    return linkRun_->stop;
}

bool InputLink::pause(uint32_t ms) {
    std::unique_lock<std::mutex> lock(linkMutex_);
    return !linkWake_.wait_for(lock, std::chrono::milliseconds(ms),
                               [this] { return linkRun_->stop; });
}

void InputLink::setState(int32_t state) {
    bool moved = false;
    {
        std::lock_guard<std::mutex> lock(linkMutex_);
        if (!linkRun_->stop && state_ != state) {
            state_ = state;
            moved = true;
        }
    }
    if (moved) changed();
}

void InputLink::setPhoneSize(int32_t width, int32_t height) {
    const uint64_t both =
        (uint64_t{static_cast<uint32_t>(width)} << 32) | static_cast<uint32_t>(height);
    if (phoneSize_.exchange(both) != both) changed();
}

ScreenSize InputLink::phoneSize() const {
    const uint64_t both = phoneSize_;
    return ScreenSize{static_cast<int32_t>(both >> 32), static_cast<int32_t>(both & 0xFFFFFFFFu)};
}

void InputLink::linkLoop() {
    while (!linkStopping()) {
        if (adbPath_.empty()) {
            adbPath_ = phone_.findAdb ? phone_.findAdb() : std::wstring();
            if (adbPath_.empty()) {
                pause(timings_.adbRetryMs);
                continue;
            }
        }
        const std::wstring serialArgs = phone_.serialArgs ? phone_.serialArgs() : std::wstring();
        if (serialArgs.empty()) {
            setState(kNoPhone);
            stopHelper();
            currentSerialArgs_.clear();
            pause(timings_.noPhoneRetryMs);
            continue;
        }
        if (serialArgs != currentSerialArgs_) {
            if (!currentSerialArgs_.empty()) logLine("input: moving to %ls", serialArgs.c_str());
            stopHelper();
            currentSerialArgs_ = serialArgs;
            attempts_ = 0;
        }
        if (!helperProcess_ || !helperProcess_->running() || attempts_ > 2) {
            setState(kConnecting);
            stopHelper();
            if (!phone_.copyHelper || !phone_.copyHelper(adbPath_, currentSerialArgs_)) {
                setState(kHelperMissing);
                pause(timings_.copyRetryMs);
                continue;
            }
            startHelper();
            attempts_ = 0;
            if (!pause(timings_.helperStartMs)) break;
        }
        // Renewed before every attempt: without the forward the local port is not the phone's,
        // and whatever else listens there would get the keys and the clipboard.
        const uint16_t port =
            forward_.open(adbRun(), currentSerialArgs_, timings_.port, kHelperSocket);
        if (port == 0) {
            ++attempts_;  // as a failed connection: after a few the helper starts afresh
            pause(timings_.connectRetryMs);
            continue;
        }
        std::unique_ptr<TcpSocket> socket = handshake(port);
        if (!socket) {
            ++attempts_;
            pause(timings_.connectRetryMs);
            continue;
        }
        TcpSocket* reader = socket.get();
        {
            std::lock_guard<std::mutex> lock(socketLock_);
            socket_ = std::move(socket);
        }
        // A stop that came during the handshake found no socket to shut down.
        if (linkStopping()) reader->shutdown();
        becomeReady();
        readLoop(*reader);
        connectionLost();
    }
}

void InputLink::startHelper() {
    const std::wstring command = currentSerialArgs_ + L"shell CLASSPATH=" + widen(kHelperPath) +
                                 L" app_process / " + kHelperClass;
    helperProcess_ = phone_.startAdb ? phone_.startAdb(adbPath_, command) : nullptr;
    logLine("input: started helper from %s", kHelperPath);
}

void InputLink::stopHelper() {
    if (helperProcess_) {
        helperProcess_->terminate(0);
        helperProcess_.reset();
    }
    forward_.remove(adbRun());
    if (!currentSerialArgs_.empty() && phone_.runAdb) {
        phone_.runAdb(adbPath_, currentSerialArgs_ + L"shell pkill -f " + kHelperClass, nullptr,
                      10000);
    }
}

AdbForward::Run InputLink::adbRun() {
    return [this](const std::wstring& args, std::string* output) {
        return phone_.runAdb && phone_.runAdb(adbPath_, args, output, 10000);
    };
}

std::unique_ptr<TcpSocket> InputLink::handshake(uint16_t port) {
    std::unique_ptr<TcpSocket> socket = TcpSocket::connectLoopback(port);
    if (!socket) return nullptr;
    socket->setNoDelay(true);
    socket->setReceiveTimeout(timings_.handshakeTimeoutMs);
    socket->setSendTimeout(timings_.sendTimeoutMs);
    uint8_t header[kPacketHeaderSize];
    if (socket->receiveAll(header, sizeof(header)).status != RecvStatus::Data) return nullptr;
    const PacketHeader h = decodeHeader(header);
    if (h.type != input_msg::kHello || h.length >= 4096) return nullptr;
    std::string payload(h.length, '\0');
    if (h.length > 0 && socket->receiveAll(payload.data(), h.length).status != RecvStatus::Data)
        return nullptr;
    const TextMap hello = readTextMap(payload);
    const int32_t version = textNumber(hello, "version");
    if (version != kInputHelperVersion) {
        logLine("input: helper version %d, expected %d", version, kInputHelperVersion);
        return nullptr;
    }
    setPhoneSize(textNumber(hello, "width"), textNumber(hello, "height"));
    socket->setReceiveTimeout(0);
    return socket;
}

void InputLink::becomeReady() {
    // The mode and clip options in force go out as the link turns ready, under the locks their
    // setters take: a change made at that moment lands either in these or after them, so it is
    // neither lost nor sent twice.
    std::lock_guard<std::mutex> modeHold(modeLock_);
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        queue_.clear();
        if (!clipOptionsText_.empty())
            queue_.queueBulk(frameMessage(input_msg::kClipOptions, clipOptionsText_.data(),
                                          clipOptionsText_.size()));
        setState(kReady);
    }
    senderWake_.notify_all();
    logLine("input: ready");
    if (mode_ != 0) sendModeMessage();
}

void InputLink::readLoop(TcpSocket& socket) {
    std::vector<uint8_t> payload;
    uint8_t header[kPacketHeaderSize];
    for (;;) {
        if (socket.receiveAll(header, sizeof(header)).status != RecvStatus::Data) return;
        const PacketHeader h = decodeHeader(header);
        if (h.length > helperPayloadLimit(h.type)) return;
        payload.resize(h.length);
        if (h.length > 0 && socket.receiveAll(payload.data(), h.length).status != RecvStatus::Data)
            return;
        inbox_.onMessage(h.type, payload.data(), h.length);
    }
}

HelperReports InputLink::helperReports() {
    HelperReports r;
    r.screenSize = [this](int32_t width, int32_t height) { setPhoneSize(width, height); };
    r.mouseState = [this](int32_t exact) {
        if (exact_.exchange(exact) != exact) changed();
    };
    r.pong = [this](int64_t echoed) { onPong(nowMicros() - echoed); };
    r.clip = [this](ClipItem item) {
        if (onPhoneClip_) onPhoneClip_(std::move(item));
    };
    return r;
}

void InputLink::onPong(int64_t rtt) {
    if (rtt < 0 || rtt > kLongestRoundTripMicros) return;
    int32_t ms = 0;
    const auto summary = meter_.add(rtt, ms);
    {
        std::lock_guard<std::mutex> lock(linkMutex_);
        if (!linkRun_->stop) rttMs_ = ms;
    }
    if (summary) {
        logLine("input: round trip avg %.1f ms, max %d ms; mouse: %d moves in, %d reports out",
                summary->averageMs, summary->maxMs, movesIn_.exchange(0), reportsOut_.exchange(0));
    }
}

void InputLink::connectionLost() {
    setPhoneSize(0, 0);
    exact_ = -1;
    rttMs_ = -1;
    {
        std::lock_guard<std::mutex> lock(socketLock_);
        socket_.reset();
    }
    setState(kConnecting);
    if (!linkStopping()) logLine("input: connection lost");
    inbox_.reset();
    meter_.reset();
    attempts_ = 0;
}

void InputLink::queueEvent(const EventRecord& record) {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        queue_.queueEvent(record);
    }
    senderWake_.notify_all();
}

void InputLink::touch(TouchAction action, uint8_t pointer, float x, float y) {
    queueEvent(touchRecord(action, pointer, x, y));
}

void InputLink::scroll(float x, float y, float horizontal, float vertical) {
    queueEvent(scrollRecord(x, y, horizontal, vertical));
}

void InputLink::androidKey(bool down, int32_t keyCode, int32_t meta, uint32_t repeat) {
    queueEvent(androidKeyRecord(down, keyCode, meta, repeat));
}

void InputLink::pressKey(int32_t keyCode) {
    androidKey(true, keyCode, 0, 0);
    androidKey(false, keyCode, 0, 0);
}

void InputLink::hidKey(uint8_t usage, bool pressed) {
    queueEvent(hidKeyRecord(usage, pressed));
}

void InputLink::mouseMotion(uint8_t buttons, int32_t dx, int32_t dy, int32_t wheel,
                            int32_t hWheel) {
    ++movesIn_;
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        queue_.mouseMotion(buttons, dx, dy, wheel, hWheel);
    }
    senderWake_.notify_all();
}

void InputLink::setMode(uint8_t bits) {
    std::lock_guard<std::mutex> hold(modeLock_);
    const uint8_t previous = mode_.exchange(bits);
    if (previous == bits) return;
    if (!(bits & 1)) exact_ = -1;
    if (state_ != kReady) return;  // the next connection sends the mode in force
    if (bits != 0)
        sendModeMessage();
    else
        sendRecord(deviceModeOffRecord());
}

void InputLink::setMouseOptions(bool exactRequested, float speed) {
    std::lock_guard<std::mutex> hold(modeLock_);
    const bool exactChanged = exactRequested_.exchange(exactRequested) != exactRequested;
    const float oldSpeed = speed_.exchange(speed);
    const bool speedChanged = !(oldSpeed == speed);
    if ((exactChanged || speedChanged) && (mode_ & 1) && state_ == kReady) sendModeMessage();
}

void InputLink::sendModeMessage() {
    sendRecord(deviceModeOnRecord(mode_, exactRequested_, speed_));
}

void InputLink::setClipOptions(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        if (text == clipOptionsText_) return;
        clipOptionsText_ = text;
        if (state_ != kReady) return;
        queue_.queueBulk(frameMessage(input_msg::kClipOptions, text.data(), text.size()));
    }
    senderWake_.notify_all();
}

void InputLink::sendClip(const ClipItem& item) {
    if (state_ != kReady) return;
    std::vector<std::vector<uint8_t>> messages = clipMessages(item);
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        queue_.dropClipItems();
        for (auto& m : messages) queue_.queueBulk(std::move(m));
    }
    senderWake_.notify_all();
}

bool InputLink::sendBytes(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(socketLock_);
    if (!socket_) return false;
    if (socket_->sendAll(data, size)) return true;
    socket_->shutdown();
    return false;
}

bool InputLink::sendRecord(const EventRecord& record) {
    const std::vector<uint8_t> framed = frameRecord(record);
    return sendBytes(framed.data(), framed.size());
}

void InputLink::senderLoop(Run& run) {
    // The 2 ms report slots need the fine timer; it is raised only while reports are paced, so
    // that a link at rest leaves the system's timer (and the battery) alone.
    std::optional<FineTimerScope> fineWaits;
    std::unique_lock<std::mutex> lock(queueLock_);
    int64_t nextPing = nowMicros() + timings_.pingIntervalMicros;
    while (!run.senderStop) {
        const int64_t now = nowMicros();
        OutgoingQueue::Next next = queue_.takeNext(now, nextPing);
        switch (next.kind) {
            case OutgoingQueue::NextKind::Event: {
                lock.unlock();
                if (sendRecord(next.record) && next.isMouseReport) ++reportsOut_;
                lock.lock();
                break;
            }
            case OutgoingQueue::NextKind::Bulk:
                lock.unlock();
                sendBytes(next.bulk.data(), next.bulk.size());
                lock.lock();
                break;
            case OutgoingQueue::NextKind::Wait:
                if (next.waitUntil - now <= kFineWaitMicros) {
                    if (!fineWaits) fineWaits.emplace();
                } else {
                    fineWaits.reset();
                }
                senderWake_.wait_for(lock, std::chrono::microseconds(next.waitUntil - now));
                break;
            case OutgoingQueue::NextKind::Ping:
                nextPing = now + timings_.pingIntervalMicros;
                if (state_ == kReady) {
                    lock.unlock();
                    sendRecord(pingRecord(nowMicros()));
                    lock.lock();
                }
                break;
        }
    }
}

}  // namespace tov
