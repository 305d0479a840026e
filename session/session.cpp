#include "session/session.h"

#include "core/log.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace tov {

namespace {

const char kReinstallingText[] = "Reinstalling Tovenmar on your phone\xE2\x80\xA6";
const wchar_t kLaunchArgs[] =
    L"shell am start -n com.tovenmar.app/.MainActivity --ez start true -f 0x30000000";

const char kAppStream[] = "tcp:27183";
const char kNoAppStream[] = "localabstract:tovenmar-stream";

}  // namespace

Session::Session(SessionCallbacks callbacks, SessionPhoneLink phone, SessionConfig config)
    : callbacks_(std::move(callbacks)),
      phone_(std::move(phone)),
      config_(config),
      connection_(callbacks_, waiter_, config_.stream),
      forward_("session") {}

Session::~Session() {
    stop(false);
}

void Session::start() {
    if (thread_.joinable()) return;
    waiter_.setStopping(false);
    thread_ = std::thread([this] { loop(); });
}

void Session::stop(bool sendStop) {
    if (!thread_.joinable()) return;
    if (sendStop) connection_.socket().sendLast(PacketType::Stop);
    waiter_.setStopping(true);
    connection_.socket().shutdown();
    thread_.join();
}

void Session::setStreaming(bool on) {
    if (streaming_.load() == on) return;
    logLine(on ? "session: streaming wanted" : "session: streaming no longer wanted");
    if (on) {
        generation_.fetch_add(1);
        streaming_.store(true);
    } else {
        // The stop packet goes out whole before the socket is shut down, and nothing after it.
        connection_.socket().sendLast(PacketType::Stop);
        streaming_.store(false);
        connection_.socket().shutdown();
    }
    waiter_.wake();
}

void Session::reinstall() {
    reinstall_.store(true);
    if (streaming_.load()) {
        // A live connection would hold the reinstall back until it broke on its own.
        connection_.socket().shutdown();
    } else {
        generation_.fetch_add(1);
        streaming_.store(true);
    }
    waiter_.wake();
}

void Session::reconnect() {
    connection_.socket().shutdown();
    waiter_.wake();
}

void Session::setOptions(const TextMap& options) {
    std::lock_guard<std::mutex> lock(optionsMutex_);
    options_ = options;
}

void Session::sendOptions(const TextMap& options) {
    connection_.socket().send(PacketType::Options, options);
}

void Session::requestKeyframe() {
    connection_.socket().send(PacketType::KeyframeRequest, nullptr, 0);
}

void Session::sendInputToggles(bool keyboard, bool mouse, uint32_t seq) {
    connection_.socket().send(PacketType::InputMode, TextMap{{"keyboard", keyboard ? "1" : "0"},
                                                             {"mouse", mouse ? "1" : "0"},
                                                             {"seq", std::to_string(seq)}});
}

void Session::setDecoders(const std::string& decoders) {
    std::lock_guard<std::mutex> lock(optionsMutex_);
    decoders_ = decoders;
}

void Session::setNoApp(bool on) {
    noApp_.store(on);
}

std::string Session::statusText() const {
    std::lock_guard<std::mutex> lock(statusMutex_);
    return statusText_;
}

std::string Session::liveSerial() const {
    std::lock_guard<std::mutex> lock(statusMutex_);
    return liveSerial_;
}

void Session::setStatusText(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(statusMutex_);
        if (statusText_ == text) return;
        statusText_ = text;
    }
    if (callbacks_.onStatusText) callbacks_.onStatusText();
}

bool Session::toPcTime(int64_t phoneUs, int64_t* pcUs) const {
    return connection_.clock().toPcTime(phoneUs, pcUs);
}

void Session::setState(LinkState state) {
    if (state_.load() == state) return;
    logLine("link: %s (%s)", linkStateText(state), phoneName_.c_str());
    state_.store(state);
    if (callbacks_.onLinkState) callbacks_.onLinkState(state, phoneName_);
}

bool Session::runAdb(const Pass& pass, const std::wstring& args) {
    return adbRun(pass)(args, nullptr);
}

AdbForward::Run Session::adbRun(const Pass& pass) {
    return [this, &pass](const std::wstring& args, std::string* output) {
        return phone_.runAdb &&
               phone_.runAdb(pass.adbPath, args, output, config_.adbCommandLimitMs);
    };
}

bool Session::applyOutcome(const SessionInstallOutcome& outcome) {
    setStatusText(outcome.statusText);
    if (outcome.kind == 3) {
        signatureMismatch_.store(true);
    } else if (outcome.kind >= 0 && outcome.kind <= 2) {
        signatureMismatch_.store(false);
    }
    if (outcome.kind >= 0 && outcome.kind <= 2) return true;
    streaming_.store(false);
    return false;
}

Session::Connect Session::connectAndHandshake(uint16_t port) {
    if (!connection_.open(port)) return Connect::Failed;
    // A stop or Stop stream that came while connecting found no socket to shut down.
    if (waiter_.stopping() || !streaming_.load()) {
        connection_.close();
        return Connect::Abandoned;
    }
    TextMap options;
    {
        std::lock_guard<std::mutex> lock(optionsMutex_);
        options = options_;
        options["decoders"] = decoders_;
    }
    return connection_.handshake(options) ? Connect::Connected : Connect::Failed;
}

void Session::loop() {
    Pass pass;
    do {
        runPass(pass);
    } while (!waiter_.stopping());
    forward_.remove(adbRun(pass));
    setState(LinkState::Stopped);
}

void Session::runPass(Pass& pass) {
    if (pass.adbPath.empty() && phone_.findAdb) pass.adbPath = phone_.findAdb();
    if (pass.adbPath.empty()) {
        setState(LinkState::NoAdb);
        waiter_.pause(config_.noAdbPauseMs);
        return;
    }

    const SessionPhoneChoice choice = phone_.choice ? phone_.choice() : SessionPhoneChoice{};
    if (choice.serial.empty()) {
        pass.lastSerial.clear();
        phoneName_.clear();
        if (!pass.lastKey.empty()) {
            pass.lastKey.clear();
            if (callbacks_.onPhoneInfo) callbacks_.onPhoneInfo(PhoneInfo{});
        }
        setState(choice.adbMissing     ? LinkState::NoAdb
                 : choice.unauthorized ? LinkState::Unauthorized
                                       : LinkState::NoDevice);
        forward_.remove(adbRun(pass));
        waiter_.pause(config_.noPhonePauseMs);
        return;
    }

    if (choice.serial != pass.lastSerial) {
        if (!pass.lastSerial.empty()) logLine("session: moving to %s", choice.serial.c_str());
        pass.lastSerial = choice.serial;
        phoneName_ = choice.name;
        pass.portForwarded = false;
        pass.appLaunched = false;
    }
    const std::wstring prefix = L"-s " + widen(choice.serial) + L" ";
    if (choice.key != pass.lastKey) {
        pass.lastKey = choice.key;
        if (!streaming_.load()) setState(LinkState::Ready);
        PhoneInfo info;
        if (phone_.probePhoneInfo) info = phone_.probePhoneInfo(pass.adbPath, prefix);
        if (callbacks_.onPhoneInfo) callbacks_.onPhoneInfo(info);
    }

    if (!streaming_.load()) {
        setState(LinkState::Ready);
        forward_.remove(adbRun(pass));
        checkAppAhead(pass, choice.serial, prefix);
        waiter_.pause(config_.notStreamingPauseMs);
        return;
    }
    const uint32_t generation = generation_.load();
    if (generation != pass.seenGeneration) {
        pass.seenGeneration = generation;
        pass.checkedAhead = takeAppCheckAhead(pass, choice.serial);
        pass.appChecked = pass.checkedAhead;
        pass.portForwarded = false;
        pass.appLaunched = false;
    }
    // Read once, so that one pass never mixes the two modes.
    const bool noApp = noApp_.load();

    if (reinstall_.exchange(false)) {
        setStatusText(kReinstallingText);
        SessionInstallOutcome outcome{5, {}};
        if (phone_.reinstallApp) outcome = phone_.reinstallApp(pass.adbPath, prefix);
        if (!applyOutcome(outcome)) return;
        pass.appChecked = true;
    }
    if (!noApp && !pass.appChecked) {
        SessionInstallOutcome outcome;
        if (phone_.ensureApp) {
            outcome = phone_.ensureApp(pass.adbPath, prefix,
                                       [this](const std::string& text) { setStatusText(text); });
        }
        if (!applyOutcome(outcome)) return;
        pass.appChecked = true;
    }

    if (!pass.portForwarded) {
        if (forward_.open(adbRun(pass), prefix, noApp ? config_.noAppPort : config_.appPort,
                          noApp ? kNoAppStream : kAppStream) == 0) {
            // Streaming is wanted and the phone is there; what it waits for is the connection.
            setState(LinkState::WaitingForApp);
            waiter_.pause(config_.forwardFailedPauseMs);
            return;
        }
        pass.portForwarded = true;
    }

    const Connect connected = connectAndHandshake(forward_.port());
    if (connected == Connect::Abandoned) return;
    if (connected == Connect::Connected) {
        {
            std::lock_guard<std::mutex> lock(statusMutex_);
            liveSerial_ = choice.serial;
        }
        setState(LinkState::Live);
        const ReceiveStatus end = connection_.receiveLoop();
        {
            std::lock_guard<std::mutex> lock(statusMutex_);
            liveSerial_.clear();
        }
        if (!waiter_.stopping()) {
            logLine("session: stream ended (%s)", receiveStatusText(end));
            setState(streaming_.load() ? LinkState::WaitingForApp : LinkState::Ready);
        }
        pass.portForwarded = false;
        pass.appLaunched = false;
        return;
    }

    // A stop or Stop stream that came while the phone's hello was awaited broke the handshake:
    // nothing more happens for that stream, above all no activity start.
    if (abandoned(generation)) return;
    setState(LinkState::WaitingForApp);
    if (!noApp && !pass.appLaunched) {
        if (abandoned(generation)) return;
        const bool launched = runAdb(pass, prefix + kLaunchArgs);
        pass.appLaunched = true;
        pass.launchedAtMs = tickMs();
        if (!launched && pass.checkedAhead) {
            // The app checked before Start may have gone since: check it now, then start it again.
            logLine("session: the phone app didn't start; checking it again");
            pass.checkedAhead = false;
            pass.appChecked = false;
            pass.appLaunched = false;
        }
    }
    const bool justLaunched =
        pass.appLaunched && tickMs() - pass.launchedAtMs < config_.launchPollWindowMs;
    waiter_.pause(justLaunched ? config_.launchPollMs : config_.connectFailedPauseMs);
}

void Session::checkAppAhead(Pass& pass, const std::string& serial, const std::wstring& prefix) {
    if (!phone_.appIsCurrent || noApp_.load()) return;
    if (pass.aheadSerial == serial && tickMs() - pass.aheadAtMs < config_.appCheckFreshMs) return;
    pass.aheadCurrent = phone_.appIsCurrent(pass.adbPath, prefix);
    pass.aheadSerial = serial;
    pass.aheadAtMs = tickMs();
}

bool Session::takeAppCheckAhead(Pass& pass, const std::string& serial) {
    // Only a current app spares the check at Start; anything else is checked (and mended) then.
    const bool counts = pass.aheadCurrent && pass.aheadSerial == serial &&
                        tickMs() - pass.aheadAtMs < config_.appCheckFreshMs;
    pass.aheadSerial.clear();
    return counts;
}

bool Session::abandoned(uint32_t generation) const {
    return waiter_.stopping() || !streaming_.load() || generation_.load() != generation;
}

}  // namespace tov
