// The stream session: follows the chosen phone, probes each new one, and while a stream is wanted
// makes sure the phone app is there, forwards the stream port, starts the phone side, connects
// and receives until the connection ends, then starts over.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "core/adb_forward.h"
#include "core/link_state.h"
#include "session/session_callbacks.h"
#include "session/session_config.h"
#include "session/session_phone_link.h"
#include "session/session_waiter.h"
#include "session/stream_connection.h"
#include "session/text_map.h"

namespace tov {

class Session {
  public:
    Session(SessionCallbacks callbacks, SessionPhoneLink phone, SessionConfig config = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Starts the loop thread unless it runs.
    void start();
    // Ends the loop thread; with `sendStop` the phone is told to stop first.
    void stop(bool sendStop);

    // The user's Start stream / Stop stream. Off tells the phone to stop and drops the connection.
    void setStreaming(bool on);
    bool streaming() const { return streaming_.load(); }
    // Uninstalls and installs the phone app afresh; switches streaming on when it was off.
    void reinstall();
    // Drops the connection; the loop forwards and connects again on the chosen connection.
    void reconnect();

    // The stream options for the next connection.
    void setOptions(const TextMap& options);
    // Options a running stream can take, sent on the live connection.
    void sendOptions(const TextMap& options);
    void requestKeyframe();
    // The input mode, with the number the phone tags its later input reports with.
    void sendInputToggles(bool keyboard, bool mouse, uint32_t seq);

    // The codecs this PC decodes, sent as "decoders" ("h264" until told otherwise).
    void setDecoders(const std::string& decoders);
    void setNoApp(bool on);
    bool noApp() const { return noApp_.load(); }

    std::string statusText() const;
    // The adb serial of the connection the stream is live on; empty while it is not live.
    std::string liveSerial() const;
    bool signatureMismatch() const { return signatureMismatch_.load(); }
    LinkState state() const { return state_.load(); }

    // False until the clock is synced on the live connection; else pcUs = phoneUs - offset.
    bool toPcTime(int64_t phoneUs, int64_t* pcUs) const;
    int64_t smallestRoundTrip() const { return connection_.clock().smallestRoundTrip(); }
    uint32_t pongCount() const { return connection_.clock().pongCount(); }
    // Stream bytes received, headers included.
    uint64_t bytesReceived() const { return connection_.bytesReceived(); }
    // Returns the count and starts it again from zero (for a bitrate meter).
    uint64_t takeBytesReceived() { return connection_.takeBytesReceived(); }

  private:
    // Loop-local state.
    struct Pass {
        std::wstring adbPath;
        std::string lastSerial;
        std::string lastKey;
        uint32_t seenGeneration = 0;
        bool appChecked = false;
        bool portForwarded = false;
        bool appLaunched = false;
        uint64_t launchedAtMs = 0;
        // The app check made while no stream was wanted: the serial it was made on (empty: none
        // since the last Start), when, what it found, and whether this stream's check came from
        // it.
        std::string aheadSerial;
        uint64_t aheadAtMs = 0;
        bool aheadCurrent = false;
        bool checkedAhead = false;
    };
    enum class Connect { Connected, Failed, Abandoned };

    void loop();
    void runPass(Pass& pass);
    // Applies an installer outcome; false when streaming has to stop.
    bool applyOutcome(const SessionInstallOutcome& outcome);
    Connect connectAndHandshake(uint16_t port);
    // While no stream is wanted: checks the phone's app, unless a recent check still counts.
    void checkAppAhead(Pass& pass, const std::string& serial, const std::wstring& prefix);
    // At Start stream: true when a check made ahead counts for this stream (and uses it up).
    bool takeAppCheckAhead(Pass& pass, const std::string& serial);
    // True once the stream the pass works for is no longer wanted: stopping, Stop stream, or a
    // new Start stream since the pass read `generation`.
    bool abandoned(uint32_t generation) const;
    void setState(LinkState state);
    void setStatusText(const std::string& text);
    bool runAdb(const Pass& pass, const std::wstring& args);
    AdbForward::Run adbRun(const Pass& pass);

    SessionCallbacks callbacks_;
    SessionPhoneLink phone_;
    SessionConfig config_;

    std::thread thread_;
    SessionWaiter waiter_;
    std::atomic<bool> streaming_{false};
    std::atomic<uint32_t> generation_{0};
    std::atomic<bool> reinstall_{false};
    std::atomic<bool> signatureMismatch_{false};
    std::atomic<bool> noApp_{false};
    std::atomic<LinkState> state_{LinkState::Stopped};

    mutable std::mutex statusMutex_;
    std::string statusText_;
    std::string liveSerial_;

    mutable std::mutex optionsMutex_;
    TextMap options_;
    std::string decoders_ = "h264";

    // Loop thread only.
    std::string phoneName_;

    StreamConnection connection_;
    // The stream's forward, kept for the chosen phone while a stream is wanted (loop thread).
    AdbForward forward_;
};

}  // namespace tov
