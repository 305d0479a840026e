// The simulator's hub: the phones and their shared state under one lock, the forwards, the open
// service connections and the worker threads. adb commands, control commands and the phone-side
// services all work on it.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/phonesim/connection_set.h"
#include "tools/phonesim/forwards.h"
#include "tools/phonesim/sim_phone.h"
#include "tools/phonesim/thread_set.h"
#include "tools/phonesim/video_clip.h"

namespace tov::phonesim {

// The client connection of one running command.
class CommandChannel {
  public:
    virtual ~CommandChannel() = default;
    virtual void write(const std::string& text) = 0;
    // Waits up to ms; true once the client has hung up (a killed adb process).
    virtual bool clientGone(uint32_t ms) = 0;
};

class Simulator {
  public:
    Simulator(std::string defaultClipPath, std::string defaultHevcClipPath);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Loads the default H.264 clip; false with a reason when it is missing or unusable.
    bool loadDefaultClip(std::string& error);

    // One adb command line; `fileData` is the local file that a push or install named.
    int adb(const std::vector<std::string>& args, const std::string& fileData,
            CommandChannel& channel);
    // One control command line (see the README).
    int control(const std::string& line, CommandChannel& channel);

    // Cuts every connection, closes every forward and joins the workers.
    void stop();
    bool stopping() const { return stopping_; }
    bool quitRequested() const { return quit_; }
    void requestQuit() { quit_ = true; }

    // --- shared with the command handlers and services ---
    std::mutex mutex;                               // guards everything below up to the forwards
    std::vector<std::shared_ptr<SimPhone>> phones;  // in the order adb lists them
    std::vector<std::string> hangs;                 // command texts that never answer
    std::vector<std::string> failures;              // command texts that fail as a closed link
    std::vector<std::string> commandLog;            // every adb command line received
    uint64_t lastHelperRun = 0;
    bool discovery = true;  // adb's mdns discovery works ("mdns off" makes it unavailable)

    // Under `mutex`: the phone attached through `serial`, or the phone named by id or serial.
    std::shared_ptr<SimPhone> attached(const std::string& serial) const;
    std::shared_ptr<SimPhone> find(const std::string& idOrSerial) const;
    // Under `mutex`: the lines "devices" prints for every attached link, without the heading;
    // the long form ("-l") with each link's details.
    std::string deviceList(bool longForm) const;

    // Counts "kill-server": the change feeds of the server before it end.
    std::atomic<uint64_t> serverGeneration{0};
    // "track-devices" commands running now.
    std::atomic<int> runningFeeds{0};

    // Cuts a link's forwards and connections after it went away (not under `mutex`).
    void linkGone(const std::string& phoneId, const std::string& serial);
    // Ends a running helper: its connections and No app stream close.
    void helperGone(const std::string& phoneId);

    // The clip a phone streams in a codec (its own or the default); null when it cannot be
    // loaded.
    std::shared_ptr<const VideoClip> clipFor(VideoCodec codec, const std::string& path,
                                             std::string& error);

    ConnectionSet connections;
    ThreadSet workers;
    Forwards forwards;

  private:
    void route(const std::string& serial, const std::string& remote,
               std::unique_ptr<TcpSocket> socket);

    std::string defaultClipPath_;
    std::string defaultHevcClipPath_;
    std::mutex clipMutex_;
    std::map<std::pair<VideoCodec, std::string>, std::shared_ptr<const VideoClip>> clips_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> quit_{false};
};

}  // namespace tov::phonesim
