#include "tools/phonesim/stream_server.h"

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <thread>

#include "platform/clock.h"
#include "session/packet.h"
#include "session/packet_reader.h"
#include "tools/phonesim/pcm_tone.h"
#include "tools/phonesim/phone_sender.h"
#include "tools/phonesim/shaped_link.h"
#include "tools/phonesim/simulator.h"
#include "tools/phonesim/video_feed.h"

namespace tov::phonesim {
namespace {

constexpr int kSampleRate = 48000;
constexpr int kChannels = 2;
constexpr int64_t kAudioChunkUs = 10000;  // 480 frames per packet
constexpr uint32_t kOptionsWaitMs = 5000;

std::string u16(int v) {
    return {static_cast<char>((v >> 8) & 0xff), static_cast<char>(v & 0xff)};
}

std::string u32(uint32_t v) {
    return u16(static_cast<int>(v >> 16)) + u16(static_cast<int>(v));
}

std::string flag(const TextMap& options, const char* key) {
    auto it = options.find(key);
    return (it == options.end() || it->second != "0") ? "1" : "0";
}

std::string valueOr(const TextMap& m, const char* key, const std::string& fallback) {
    auto it = m.find(key);
    return (it == m.end() || it->second.empty()) ? fallback : it->second;
}

std::string header(uint8_t type, uint32_t length) {
    std::string bytes(kPacketHeaderSize, '\0');
    PacketHeader h;
    h.type = type;
    h.length = length;
    encodeHeader(h, reinterpret_cast<uint8_t*>(bytes.data()));
    return bytes;
}

// One connection's life: the reader runs on the service thread, the media on its own thread.
class StreamConnection {
  public:
    StreamConnection(Simulator& sim, const ConnectionInfo& info, TcpSocket& socket)
        : sim_(sim),
          info_(info),
          socket_(socket),
          link_(std::make_shared<ShapedLink>(socket)),
          sender_(socket, link_.get()) {}

    void run() {
        if (!readOptions()) return;
        if (!hello()) return;
        std::thread media([this] { mediaLoop(); });
        readLoop();
        {
            std::lock_guard lock(waitMutex_);
            running_ = false;
        }
        wake_.notify_all();
        socket_.shutdown();
        media.join();
        link_->stop();
    }

  private:
    int64_t phoneClock() const { return nowMicros() + clockOffset_; }

    std::shared_ptr<SimPhone> phone() {
        auto p = sim_.find(info_.phoneId);
        return p;
    }

    bool readOptions() {
        socket_.setReceiveTimeout(kOptionsWaitMs);
        Packet packet;
        if (reader_.receive(socket_, packet) != ReceiveStatus::Ok ||
            packet.header.type != static_cast<uint8_t>(PacketType::Options)) {
            return false;
        }
        options_ = readTextMap(reinterpret_cast<const char*>(packet.payload), packet.size);
        std::lock_guard lock(sim_.mutex);
        auto p = phone();
        if (!p) return false;
        p->options.push_back(options_);
        link_->setShape(p->link);
        p->streamLinks.push_back(link_);
        name_ = p->displayName();
        fps_ = p->fps;
        clockOffset_ = p->clockOffsetUs;
        phoneAudio_ = p->audio;
        beeps_ = p->beeps;
        noHello_ = p->noHello;
        shortPong_ = p->shortPong;
        stateWithout_ = p->stateWithout;
        stateFirst_ = p->stateFirst;
        ownInputReport_ = p->ownInputReport;
        inputEchoDelayMs_ = p->inputEchoDelayMs;
        inputSeq_ = p->inputSeq;
        helloDelayMs_ = p->helloDelayMs;
        codec_ = chooseCodec(*p, options_);
        clipPath_ = codec_ == VideoCodec::Hevc ? p->hevcClip : p->clip;
        if (!p->ladder.empty()) ladder_ = listLadder(p->ladder);
        fallbackClipPath_ = p->clip;
        return true;
    }

    bool hello() {
        if (!openFeed()) return false;
        if (noHello_) {
            // Reads on but never answers: the PC gives up after its hello time-out.
            socket_.setReceiveTimeout(0);
            Packet packet;
            while (reader_.receive(socket_, packet) == ReceiveStatus::Ok) {
            }
            return false;
        }
        if (helloDelayMs_ > 0) sleepMs(static_cast<uint32_t>(helloDelayMs_));
        socket_.setReceiveTimeout(0);
        if (stateFirst_) sendStateReport();  // out of order: the PC must not take it as a hello
        if (!sender_.send(static_cast<uint8_t>(PacketType::Hello), TextMap{{"device", name_}})) {
            return false;
        }
        // The phone's input state as it stands, before it has read what the PC wants.
        return ownInputReport_ != SimPhone::OwnInputReport::First || sendOwnInputState();
    }

    // The clips the pictures come from: the phone's own clip, or its ladder starting where the
    // options point.
    bool openFeed() {
        std::string error;
        std::vector<FeedClip> clips;
        if (!ladder_.empty()) {
            codec_ = VideoCodec::H264;  // a ladder is made of H.264 clips
            for (const LadderRung& rung : ladder_) {
                auto clip = sim_.clipFor(codec_, rung.path, error);
                if (!clip) return false;
                clips.push_back({rung, clip});
            }
            feed_ = std::make_unique<VideoFeed>(
                std::move(clips), pickRung(ladder_, wishFromOptions(options_, noApp(), ladder_)));
            return true;
        }
        auto clip = sim_.clipFor(codec_, clipPath_, error);
        if (!clip && codec_ == VideoCodec::Hevc) {
            codec_ = VideoCodec::H264;  // no HEVC clip to hand: the phone sends H.264
            clip = sim_.clipFor(codec_, fallbackClipPath_, error);
        }
        if (!clip) return false;
        LadderRung rung;
        rung.fps = fps_ > 0 ? fps_ : 30;
        clips.push_back({rung, clip});
        feed_ = std::make_unique<VideoFeed>(std::move(clips), 0);
        return true;
    }

    // The input state as it stood at the hello, whenever it goes out: before the phone took any
    // input mode, so with no number.
    bool sendOwnInputState() {
        return sender_.send(static_cast<uint8_t>(PacketType::InputState),
                            TextMap{{"keyboard", "0"}, {"mouse", "0"}});
    }

    // The phone takes the PC's input mode and answers with its state; a numbering phone tags it
    // with the mode's number, and every later report of its own carries that number too.
    void takeInputMode(const TextMap& mode) {
        std::lock_guard lock(inputMutex_);
        inputState_ = {{"keyboard", valueOr(mode, "keyboard", "0")},
                       {"mouse", valueOr(mode, "mouse", "0")}};
        if (auto seq = mode.find("seq"); inputSeq_ && seq != mode.end()) {
            inputState_["seq"] = seq->second;
        }
        sender_.send(static_cast<uint8_t>(PacketType::InputState), inputState_);
    }

    // Changes the phone's user made to its input state, each reported as it is made.
    bool sendOwnInputChanges() {
        std::vector<TextMap> changes;
        {
            std::lock_guard lock(sim_.mutex);
            if (auto p = phone()) changes.swap(p->ownInputChanges);
        }
        for (const TextMap& change : changes) {
            {
                std::lock_guard lock(inputMutex_);
                for (const auto& [key, value] : change) inputState_[key] = value;
                if (!sender_.send(static_cast<uint8_t>(PacketType::InputState), inputState_)) {
                    return false;
                }
            }
            if (ownInputReport_ == SimPhone::OwnInputReport::Late && !lateReportSent_) {
                lateReportSent_ = true;
                if (!sendOwnInputState()) return false;
            }
        }
        return true;
    }

    void sendStateReport() {
        TextMap report;
        {
            std::lock_guard lock(sim_.mutex);
            auto p = phone();
            if (!p) return;
            const FeedClip sent = feed_->wanted();
            report = streamStateReport(*p, options_, noApp(), codec_, sent.clip->width,
                                       sent.clip->height);
            if (!ladder_.empty()) report["preset"] = presetName(sent.rung);
        }
        for (const std::string& key : stateWithout_) report.erase(key);
        sender_.send(static_cast<uint8_t>(PacketType::StreamState), report);
    }

    bool noApp() const { return info_.kind == ServiceKind::NoAppStream; }

    static bool changesPicture(const std::string& key) {
        return key == "width" || key == "height" || key == "fps" || key == "preset" ||
               key == "codec" || key == "encoder";
    }

    void readLoop() {
        Packet packet;
        while (reader_.receive(socket_, packet) == ReceiveStatus::Ok) {
            const auto type = static_cast<PacketType>(packet.header.type);
            const char* text = reinterpret_cast<const char*>(packet.payload);
            if (type == PacketType::Ping) {
                bool stalled = false;
                {
                    std::lock_guard lock(sim_.mutex);
                    if (auto p = phone()) {
                        ++p->pings;
                        stalled = p->stalled;
                    }
                }
                if (packet.size == 8 && !stalled) {
                    sender_.send(static_cast<uint8_t>(PacketType::Pong),
                                 std::string(text, shortPong_ ? 4 : packet.size), 0,
                                 phoneClock());
                }
            } else if (type == PacketType::Options) {
                const TextMap changed = readTextMap(text, packet.size);
                bool newShape = false;
                {
                    std::lock_guard lock(sim_.mutex);
                    if (auto p = phone()) p->options.push_back(changed);
                    for (const auto& [k, v] : changed) {
                        const bool differs = valueOr(options_, k.c_str(), "") != v;
                        newShape = newShape || (changesPicture(k) && differs);
                        options_[k] = v;
                    }
                    if (!ladder_.empty()) feed_->follow(wishFromOptions(options_, noApp(), ladder_));
                }
                // A new size or preset restarts the encoder: a new configuration, then a key
                // picture. The bitrate alone is taken without a break. A ladder's feed does
                // this itself when it moves to another rung.
                if (newShape && ladder_.empty()) reconfigureWanted_ = true;
                sendStateReport();
            } else if (type == PacketType::KeyframeRequest) {
                record("keyframe");
                feed_->wantKey();
            } else if (type == PacketType::Stop) {
                record("stop");
                return;  // the phone stops streaming and closes the connection
            } else if (type == PacketType::InputMode) {
                const TextMap mode = readTextMap(text, packet.size);
                record("inputmode keyboard=" + valueOr(mode, "keyboard", "0") +
                       " mouse=" + valueOr(mode, "mouse", "0"));
                if (inputEchoDelayMs_ > 0) sleepMs(static_cast<uint32_t>(inputEchoDelayMs_));
                takeInputMode(mode);
                if (ownInputReport_ == SimPhone::OwnInputReport::AfterEcho && !ownInputSent_) {
                    ownInputSent_ = true;
                    sendOwnInputState();
                }
            } else {
                record("unknown type=" + std::to_string(packet.header.type) +
                       " size=" + std::to_string(packet.size));
            }
        }
    }

    void record(const std::string& event) {
        std::lock_guard lock(sim_.mutex);
        if (auto p = phone()) p->streamEvents.push_back(event);
    }

    // The media clock keeps its own deadlines; after a stall it starts afresh instead of
    // bursting to catch up.
    void mediaLoop() {
        int fps = feed_->current().rung.fps;
        int64_t frameUs = 1000000 / fps;
        bool video = true, audio = false;
        {
            std::lock_guard lock(sim_.mutex);
            video = flag(options_, "video") == "1";
        }
        sender_.send(static_cast<uint8_t>(PacketType::VideoConfig),
                     videoConfigPayload(*feed_->current().clip, fps));
        sendStateReport();
        if (ownInputReport_ == SimPhone::OwnInputReport::WithMedia) sendOwnInputState();
        PcmTone tone(kSampleRate, kChannels, 440.0);
        int64_t nextVideo = nowMicros();
        int64_t nextAudio = nextVideo;
        // With beeps, a sound packet goes once its time has passed, so that a key picture sent
        // meanwhile has its beep in it.
        const int64_t beepDelay = beeps_ ? kAudioChunkUs : 0;
        while (true) {
            std::vector<std::string> injections;
            bool stalled = false, still = false, audioWanted = false;
            {
                std::lock_guard lock(sim_.mutex);
                auto p = phone();
                if (!p) return;
                stalled = p->stalled;
                still = p->still;
                if (!stalled) injections.swap(p->streamInjections);
                // The user's Sound toggle and the phone's clock take effect at once.
                audioWanted = phoneAudio_ && flag(options_, "audio") == "1";
                clockOffset_ = p->clockOffsetUs;
            }
            if (audioWanted && !audio) {
                // Capture starts (again): its format first, its first packet now.
                sender_.send(static_cast<uint8_t>(PacketType::AudioConfig),
                             u32(kSampleRate) + u16(kChannels) + u16(0));
                nextAudio = nowMicros();
            }
            audio = audioWanted;
            if (!stalled && reconfigureWanted_.exchange(false)) {
                if (!sender_.send(static_cast<uint8_t>(PacketType::VideoConfig),
                                  videoConfigPayload(*feed_->current().clip, fps))) {
                    return;
                }
                feed_->wantKey();
                nextVideo = std::min(nextVideo, nowMicros());
            }
            for (const std::string& bytes : injections) {
                if (!sender_.sendRaw(bytes)) return;
            }
            if (!stalled && !sendOwnInputChanges()) return;
            const int64_t now = nowMicros();
            if (stalled) {
                nextVideo = nextAudio = now + frameUs;
            } else {
                if (video && still) {
                    nextVideo = now + frameUs;
                } else if (video && now >= nextVideo) {
                    const VideoFeed::Picture picture = feed_->next();
                    if (picture.newConfig) {
                        // A new size or frame rate: its configuration, then its key picture.
                        const FeedClip now = feed_->current();
                        fps = now.rung.fps;
                        frameUs = 1000000 / fps;
                        if (!sender_.send(static_cast<uint8_t>(PacketType::VideoConfig),
                                          videoConfigPayload(*now.clip, fps))) {
                            return;
                        }
                    }
                    const AccessUnit& au = *picture.unit;
                    // Stamped with the time of its capture, on the frame clock, as an encoder
                    // does: a thread that woke late sends it late, not with a later stamp.
                    const int64_t stamp = nextVideo + clockOffset_;
                    if (!sender_.send(static_cast<uint8_t>(PacketType::Video), au.bytes,
                                      au.key ? kKeyFrameFlag : 0, stamp)) {
                        return;
                    }
                    if (au.key) lastKeyStamp_ = stamp;
                    // A phone captures on its frame clock: when this thread woke late it skips
                    // the captures it missed instead of sending them in a burst.
                    nextVideo += frameUs;
                    if (nextVideo <= now) nextVideo += ((now - nextVideo) / frameUs + 1) * frameUs;
                }
                if (audio && now >= nextAudio + beepDelay) {
                    const int frames = kSampleRate * kAudioChunkUs / 1000000;
                    // Stamped with the phone's time of its first frame, on the pictures' clock.
                    const int64_t stamp = nextAudio + clockOffset_;
                    const std::string pcm =
                        beeps_ ? tone.next(frames, [&](int f) { return beepGain(stamp, f); })
                               : tone.next(frames);
                    if (!sender_.send(static_cast<uint8_t>(PacketType::Audio), pcm, 0, stamp)) {
                        return;
                    }
                    nextAudio = std::max(nextAudio + kAudioChunkUs, now - 100000);
                }
            }
            int64_t due = now + 20000;  // also the pace at which stalls and injections are seen
            if (video && !stalled) due = std::min(due, nextVideo);
            if (audio && !stalled) due = std::min(due, nextAudio + beepDelay);
            std::unique_lock lock(waitMutex_);
            if (!running_) return;
            const int64_t waitUs = due - nowMicros();
            if (waitUs > 0) {
                wake_.wait_for(lock, std::chrono::microseconds(waitUs),
                               [this] { return !running_; });
            }
            if (!running_) return;
        }
    }

    // Loud for 40 ms from the last key picture's stamp, quiet otherwise.
    double beepGain(int64_t chunkStamp, int frame) const {
        const int64_t t = chunkStamp + int64_t{frame} * 1000000 / kSampleRate;
        const int64_t key = lastKeyStamp_;
        return key != kNoStamp && t >= key && t < key + 40000 ? 1.0 : 0.08;
    }

    static constexpr int64_t kNoStamp = INT64_MIN;

    Simulator& sim_;
    ConnectionInfo info_;
    TcpSocket& socket_;
    std::shared_ptr<ShapedLink> link_;  // the phone's link shape and its queue
    PhoneSender sender_;
    PacketReader reader_;
    TextMap options_;  // guarded by sim_.mutex once the media thread runs
    std::string name_;
    int fps_ = 30;
    bool beeps_ = false;
    int64_t lastKeyStamp_ = kNoStamp;  // media thread only
    std::atomic<int64_t> clockOffset_{0};  // read by the pong too
    bool phoneAudio_ = true;
    bool noHello_ = false;
    bool shortPong_ = false;
    std::vector<std::string> stateWithout_;
    bool stateFirst_ = false;
    SimPhone::OwnInputReport ownInputReport_ = SimPhone::OwnInputReport::WithMedia;
    bool ownInputSent_ = false;    // reader thread only
    bool lateReportSent_ = false;  // media thread only
    std::mutex inputMutex_;        // the phone's input state, and each report of it as it goes out
    TextMap inputState_{{"keyboard", "0"}, {"mouse", "0"}};
    int inputEchoDelayMs_ = 0;
    bool inputSeq_ = false;
    int helloDelayMs_ = 0;
    VideoCodec codec_ = VideoCodec::H264;
    std::string clipPath_;
    std::string fallbackClipPath_;
    std::vector<LadderRung> ladder_;     // empty: the phone plays its one clip
    std::unique_ptr<VideoFeed> feed_;  // set before the media thread starts
    std::atomic<bool> reconfigureWanted_{false};
    std::mutex waitMutex_;
    std::condition_variable wake_;
    bool running_ = true;
};

}  // namespace

std::string videoConfigPayload(const VideoClip& clip, int fps) {
    return u16(clip.width) + u16(clip.height) + u16(fps) + u16(static_cast<int>(clip.codec)) +
           clip.config;
}

VideoCodec chooseCodec(const SimPhone& phone, const TextMap& options) {
    const std::string wanted = valueOr(options, "codec", "auto");
    const std::string decoders = "," + valueOr(options, "decoders", "h264") + ",";
    const bool pcHevc = decoders.find(",hevc,") != std::string::npos;
    return phone.encodesHevc() && pcHevc && (wanted == "hevc" || wanted == "auto") ? VideoCodec::Hevc
                                                                          : VideoCodec::H264;
}

TextMap streamStateReport(const SimPhone& phone, const TextMap& options, bool noApp,
                          VideoCodec codec, int width, int height) {
    const std::string codecName = codec == VideoCodec::Hevc ? "hevc" : "h264";
    const std::string preset = valueOr(options, "preset", "sharp");
    const std::string bitrate = valueOr(options, "bitrate", "8000000");
    const std::string encoder = valueOr(options, "encoder", "");
    const TextMap probe = readTextMap(probeAnswer(phone));
    const std::string encoderName =
        encoder.empty() ? valueOr(probe, ("default." + codecName).c_str(), "") : encoder;
    TextMap r;
    r["video"] = flag(options, "video");
    r["audio"] = phone.audio ? flag(options, "audio") : "0";
    r["mode"] = noApp ? "noapp" : "app";
    r["preset"] = preset;
    r["presetChoice"] = preset;
    r["bitrate"] = bitrate;
    r["bitrateChoice"] = bitrate;
    r["codec"] = codecName;
    r["codecChoice"] = valueOr(options, "codec", "auto");
    r["codecs"] = valueOr(probe, "codecs", "h264");
    r["encoder"] = encoder;
    r["encoderName"] = encoderName;
    r["vbr"] = flag(options, "vbr");
    r["presets"] = valueOr(probe, ("presets." + encoderName).c_str(), "");
    r["maxBitrate"] = "100000000";
    r["link"] = "0";
    r["width"] = std::to_string(width);
    r["height"] = std::to_string(height);
    r["limits"] = "";
    r["note"] = "";
    r["audioNote"] = phone.audio ? "" : "Sound capture is not available on this phone.";
    return r;
}

std::string faultPackets(const std::string& fault) {
    if (fault == "malformed") {
        // Each is read and dropped by the PC: short configurations, a short pong, a type the
        // phone never sends, a type from the PC's own side.
        return header(2, 4) + std::string(4, '\x01') + header(4, 3) + std::string(3, '\x02') +
               header(9, 3) + std::string(3, '\x03') + header(99, 5) + "junk!" + header(7, 3) +
               "a=b";
    }
    if (fault == "overlong") return header(3, kMaxPayloadSize + 1);
    if (fault == "maxsize") return header(14, kMaxPayloadSize) + std::string(kMaxPayloadSize, '\0');
    return {};
}

void runStreamServer(Simulator& sim, const ConnectionInfo& info, TcpSocket& socket) {
    StreamConnection(sim, info, socket).run();
}

}  // namespace tov::phonesim
