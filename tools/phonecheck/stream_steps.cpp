#include "tools/phonecheck/stream_steps.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>

#include "core/stream_options.h"
#include "phone/output_text.h"
#include "platform/clock.h"
#include "platform/socket.h"
#include "session/packet.h"
#include "session/packet_reader.h"
#include "session/text_map.h"
#include "tools/phonecheck/adb_forward.h"
#include "tools/phonecheck/parameter_sets.h"
#include "tools/phonecheck/phone_app_names.h"
#include "tools/phonecheck/picture_decoder.h"

namespace tov::phonecheck {
namespace {

constexpr uint32_t kAppStartLimitMs = 15000;   // a cold start of the app
constexpr uint32_t kConnectRetryMs = 700;      // as Tovenmar retries
constexpr uint32_t kLateHelloLimitMs = 5000;   // how long a late hello is still waited for
constexpr uint32_t kKeyPictureLimitMs = 3000;  // a key picture after a request or a new size
constexpr uint32_t kChangeWatchMs = 1500;      // how long a bitrate change is watched
constexpr uint32_t kStopLimitMs = 2000;
constexpr uint32_t kSliceMs = 50;  // receive slices, so that pings go out on time

// The keys Tovenmar reads from the state report (the panel and the stream options).
const std::vector<std::string> kAppStateKeys = {
    "video",  "audio",      "mode",  "preset", "presetChoice", "bitrate",    "bitrateChoice",
    "codec",  "codecChoice", "codecs", "encoder", "encoderName", "vbr",       "presets",
    "maxBitrate", "link",   "width", "height", "limits",      "note",       "audioNote"};
const std::vector<std::string> kNoAppStateKeys = {"video", "audio", "mode"};

std::string ms(int64_t micros) {
    return std::to_string((micros + 500) / 1000) + " ms";
}

std::string withCommas(int64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        const size_t left = digits.size() - i;
        if (i > 0 && left % 3 == 0 && digits[i - 1] != '-') out += ',';
        out += digits[i];
    }
    return out;
}

std::string value(const TextMap& map, const std::string& key) {
    auto it = map.find(key);
    return it == map.end() ? std::string() : it->second;
}

class StreamCheck {
  public:
    StreamCheck(const CheckContext& context, bool noApp, CheckReport& report)
        : context_(context), noApp_(noApp), report_(report), forward_(context) {}

    void run(bool helperRunning);

  private:
    std::string step(const char* name) const {
        return std::string(noApp_ ? "No app stream: " : "app stream: ") + name;
    }
    void fail(const char* name, const std::string& why) { report_.failed(step(name), why); }
    void ok(const char* name, const std::string& detail) { report_.ok(step(name), detail); }
    // The steps after a failed one that could not be tried.
    void notReached(size_t from, const std::string& why);

    TextMap startOptions();
    // Connects, sends the options and waits for the first packet. Empty when the hello came in
    // time; otherwise why not. `offered` is false when the phone ended every connection at once.
    std::string connect(bool& offered);
    bool send(PacketType type, const TextMap& map);
    bool send(PacketType type);

    // Receives and handles packets for up to `limitMs`, pinging as Tovenmar does, until `done`
    // holds. False when the connection ended or went silent for Tovenmar's limit.
    bool pump(uint32_t limitMs, const std::function<bool()>& done = {});
    void handle(const Packet& packet);
    std::string endedWhy() const;
    // The same in a few words, for the steps it leaves unreached.
    std::string endedBriefly() const {
        return silent_ ? "the stream went silent" : "the connection ended";
    }

    void checkConfiguration();
    void checkMedia();
    void checkPongs();
    void checkStateReport();
    void checkKeyframeRequest();
    void checkBitrateChange();
    void checkSizeChange();
    void checkStop();

    const CheckContext& context_;
    const bool noApp_;
    CheckReport& report_;
    AdbForward forward_;
    std::unique_ptr<TcpSocket> socket_;
    PacketReader reader_;
    TextMap options_;

    // What arrived.
    int64_t helloAt_ = 0;
    int64_t lastDataAt_ = 0;
    bool closed_ = false;
    bool silent_ = false;
    std::string closeReason_;
    std::vector<VideoConfig> configs_;
    bool keyAwaited_ = false;  // a configuration came; the next picture must be a key picture
    int nonKeyAfterConfig_ = 0;
    std::string firstKeyPicture_;
    int pictures_ = 0;
    int keyPictures_ = 0;
    int64_t lastKeyAt_ = 0;
    int audioRate_ = 0, audioChannels_ = 0;
    int audioPackets_ = 0;
    int64_t audioBytes_ = 0;
    TextMap state_;
    int stateReports_ = 0;
    int64_t lastStateAt_ = 0;
    // Pings and pongs.
    bool pinging_ = true;
    int64_t nextPingAt_ = 0;
    std::set<int64_t> pingsSent_;
    int pongs_ = 0;
    size_t badPongSize_ = 8;
    bool pongWithoutClock_ = false;
    bool pongNotEcho_ = false;
    int64_t bestRoundTrip_ = INT64_MAX;
};

TextMap StreamCheck::startOptions() {
    // The program's own options for its default settings, as a fresh install sends them.
    PanelModel model;
    model.noApp = noApp_;
    model.pcHevc = pcDecoders().find("hevc") != std::string::npos;
    TextMap options = buildStreamOptions(model, context_.info);
    options["decoders"] = pcDecoders();
    return options;
}

bool StreamCheck::send(PacketType type, const TextMap& map) {
    const std::string text = writeTextMap(map);
    const std::vector<uint8_t> bytes = buildOutgoingPacket(type, text.data(), text.size());
    return socket_ && socket_->sendAll(bytes.data(), bytes.size());
}

bool StreamCheck::send(PacketType type) {
    const std::vector<uint8_t> bytes = buildOutgoingPacket(type, nullptr, 0);
    return socket_ && socket_->sendAll(bytes.data(), bytes.size());
}

std::string StreamCheck::connect(bool& offered) {
    // As Tovenmar does: connect, send the options, wait for the hello; when nothing serves, start
    // the app's activity once and try again every 700 ms. A phone may serve only once its user
    // allowed the capture, so a hello that is late or missing is tried for again until the app
    // had its time; the first try waits longer, to tell a late hello from none.
    offered = false;
    bool launched = false;
    const int64_t start = nowMicros();
    const int64_t window = int64_t{noApp_ ? 3000u : kAppStartLimitMs} * 1000;
    std::string firstWhy;
    int retries = 0;
    for (int attempt = 0;; ++attempt) {
        if (attempt > 0) {
            if (nowMicros() - start > window) break;
            if (!noApp_ && !launched) {
                context_.adb(kActivityStart, nullptr, 10000);
                launched = true;
            }
            sleepMs(kConnectRetryMs);
        }
        socket_ = TcpSocket::connectLoopback(forward_.port());
        if (!socket_) continue;
        socket_->setNoDelay(true);
        socket_->setReceiveBufferSize(4 * 1024 * 1024);
        reader_.reset();
        const int64_t sent = nowMicros();
        if (!send(PacketType::Options, options_)) continue;
        socket_->setReceiveTimeout(firstWhy.empty() ? kLateHelloLimitMs : kHelloLimitMs);
        Packet packet;
        const ReceiveStatus status = reader_.receive(*socket_, packet);
        const int64_t after = nowMicros() - sent;
        if (status == ReceiveStatus::Closed || status == ReceiveStatus::Failed) continue;
        offered = true;
        if (status == ReceiveStatus::TooLong) return "a packet over 16 MiB where the hello belongs";
        if (status == ReceiveStatus::Ok &&
            packet.header.type != static_cast<uint8_t>(PacketType::Hello)) {
            return "the first packet is type " + std::to_string(packet.header.type) +
                   ", not the hello (type 1); Tovenmar drops the connection";
        }
        if (status == ReceiveStatus::TimedOut || after > int64_t{kHelloLimitMs} * 1000) {
            if (!firstWhy.empty()) {
                ++retries;
            } else if (status == ReceiveStatus::TimedOut) {
                firstWhy = "no hello within " + withCommas(kLateHelloLimitMs) +
                           " ms of the options packet";
            } else {
                firstWhy = "the hello came " + withCommas((after + 500) / 1000) +
                           " ms after the options";
            }
            continue;
        }
        const TextMap hello =
            readTextMap(reinterpret_cast<const char*>(packet.payload), packet.size);
        helloAt_ = lastDataAt_ = nowMicros();
        if (hello.find("device") == hello.end()) return "the hello has no \"device\" key";
        return "ok:hello after " + ms(after) + ", device \"" + value(hello, "device") + "\"" +
               (firstWhy.empty() ? "" : ", on a later try (" + firstWhy + " first)");
    }
    if (firstWhy.empty()) return {};
    return firstWhy +
           (retries > 0 ? ", nor in time on " + std::to_string(retries) +
                                (retries == 1 ? " more try" : " more tries")
                          : "") +
           "; Tovenmar waits " + withCommas(kHelloLimitMs) + " ms and then drops the connection";
}

std::string StreamCheck::endedWhy() const {
    if (silent_) {
        return "the stream sent nothing for " + withCommas(kSilenceLimitMs) +
               " ms (Tovenmar drops a connection that silent)";
    }
    return closeReason_.empty() ? "the phone closed the connection" : closeReason_;
}

void StreamCheck::handle(const Packet& packet) {
    const int64_t now = nowMicros();
    switch (static_cast<PacketType>(packet.header.type)) {
        case PacketType::VideoConfig: {
            VideoConfig config;
            if (readVideoConfig(packet.payload, packet.size, config)) {
                configs_.push_back(std::move(config));
                keyAwaited_ = true;
            }
            break;
        }
        case PacketType::Video: {
            ++pictures_;
            const bool key = (packet.header.flags & kKeyFrameFlag) != 0;
            if (key) {
                ++keyPictures_;
                lastKeyAt_ = now;
                if (firstKeyPicture_.empty() && !configs_.empty()) {
                    firstKeyPicture_.assign(reinterpret_cast<const char*>(packet.payload),
                                            packet.size);
                }
            } else if (keyAwaited_) {
                ++nonKeyAfterConfig_;
            }
            keyAwaited_ = false;
            break;
        }
        case PacketType::AudioConfig:
            if (packet.size >= 8) {
                audioRate_ = static_cast<int>(readU32(packet.payload));
                audioChannels_ = readU16(packet.payload + 4);
            }
            break;
        case PacketType::Audio:
            ++audioPackets_;
            audioBytes_ += static_cast<int64_t>(packet.size);
            break;
        case PacketType::StreamState:
            state_ = readTextMap(reinterpret_cast<const char*>(packet.payload), packet.size);
            ++stateReports_;
            lastStateAt_ = now;
            break;
        case PacketType::Pong: {
            if (packet.size != 8) {
                badPongSize_ = packet.size;
                break;
            }
            const auto echoed = static_cast<int64_t>(readU64(packet.payload));
            if (pingsSent_.count(echoed) == 0) {
                pongNotEcho_ = true;
                break;
            }
            ++pongs_;
            if (packet.header.timestamp == 0) pongWithoutClock_ = true;
            bestRoundTrip_ = std::min(bestRoundTrip_, now - echoed);
            break;
        }
        default:
            break;  // input state and anything a phone adds: Tovenmar uses or drops them
    }
}

bool StreamCheck::pump(uint32_t limitMs, const std::function<bool()>& done) {
    const int64_t end = nowMicros() + int64_t{limitMs} * 1000;
    Packet packet;
    while (!closed_ && !silent_) {
        if (done && done()) return true;
        int64_t now = nowMicros();
        if (now >= end) return true;
        if (pinging_ && now >= nextPingAt_) {
            uint8_t clock[8];
            writeU64(clock, static_cast<uint64_t>(now));
            const std::vector<uint8_t> ping = buildOutgoingPacket(PacketType::Ping, clock, 8);
            pingsSent_.insert(now);
            socket_->sendAll(ping.data(), ping.size());
            nextPingAt_ = now + (pongs_ < 5 ? 200000 : 1000000);
        }
        const int64_t wait = std::min<int64_t>({end - now, int64_t{kSliceMs} * 1000,
                                                pinging_ ? nextPingAt_ - now : INT64_MAX});
        socket_->setReceiveTimeout(static_cast<uint32_t>(std::max<int64_t>(wait / 1000, 1)));
        const ReceiveStatus status = reader_.receive(*socket_, packet);
        now = nowMicros();
        if (status == ReceiveStatus::Ok) {
            lastDataAt_ = now;
            handle(packet);
        } else if (status == ReceiveStatus::TimedOut) {
            if (now - lastDataAt_ >= int64_t{kSilenceLimitMs} * 1000) silent_ = true;
        } else {
            closed_ = true;
            if (status == ReceiveStatus::TooLong) {
                closeReason_ = "a packet announced a payload over 16 MiB (Tovenmar drops the "
                               "connection)";
            }
        }
    }
    return false;
}

const char* const kStepNames[] = {
    "options sent, hello within 1,500 ms",
    "video configuration a decoder opens",
    "pictures and sound",
    "pongs",
    "state report with the keys Tovenmar reads",
    "key frame request answered by a key picture",
    "bitrate change taken mid-stream",
    "size change taken mid-stream",
    "clean stop",
};

void StreamCheck::notReached(size_t from, const std::string& why) {
    for (size_t i = from; i < std::size(kStepNames); ++i) {
        report_.skipped(step(kStepNames[i]), "not reached: " + why);
    }
}

void StreamCheck::checkConfiguration() {
    const char* name = kStepNames[1];
    const bool ended =
        !pump(kSilenceLimitMs + 1000, [this] { return !firstKeyPicture_.empty(); });
    if (configs_.empty()) {
        fail(name, "no video configuration after the hello" + (ended ? ": " + endedWhy() : ""));
        return;
    }
    const VideoConfig& config = configs_.front();
    if (firstKeyPicture_.empty()) {
        fail(name, "a configuration (" + config.describe() + ") but no key picture after it" +
                       (ended ? ": " + endedWhy() : ""));
        return;
    }
    if (nonKeyAfterConfig_ > 0) {
        fail(name, "the first picture after the configuration is not a key picture");
        return;
    }
    std::string why = checkParameterSets(config);
    if (why.empty() && !decoderName().empty()) why = decodeFirstPicture(config, firstKeyPicture_);
    if (!why.empty()) {
        fail(name, config.describe() + ": " + why);
        return;
    }
    ok(name, config.describe() + ", parameter sets read" +
                 (decoderName().empty() ? "" : ", " + decoderName() + " decoded the first key picture"));
}

void StreamCheck::checkMedia() {
    const char* name = kStepNames[2];
    const int64_t watchUntil = helloAt_ + int64_t{context_.options.mediaSeconds} * 1000000;
    const int64_t left = watchUntil - nowMicros();
    const bool ended = left > 0 && !pump(static_cast<uint32_t>(left / 1000));
    const double seconds = static_cast<double>(nowMicros() - helloAt_) / 1e6;
    char pictures[96];
    std::snprintf(pictures, sizeof(pictures), "%d pictures in %.1f s", pictures_, seconds);
    if (ended) {
        fail(name, std::string(pictures) + ", then " + endedWhy());
        return;
    }
    if (pictures_ == 0) {
        fail(name, std::string("no pictures in ") + pictures);
        return;
    }
    // A phone that cannot capture sound says so in its report ("audio" 0, with "audioNote").
    const bool soundOff = value(state_, "audio") == "0";
    if (soundOff) {
        ok(name, std::string(pictures) + "; no sound, as the phone reports" +
                     (value(state_, "audioNote").empty() ? "" : ": " + value(state_, "audioNote")));
        return;
    }
    if (audioRate_ <= 0 || audioChannels_ <= 0) {
        fail(name, std::string(pictures) + ", but no sound configuration while sound is on");
        return;
    }
    if (audioPackets_ == 0) {
        fail(name, std::string(pictures) + ", a sound configuration but no sound");
        return;
    }
    const int64_t soundMs = audioBytes_ * 1000 / 4 / audioRate_;
    ok(name, std::string(pictures) + "; sound " + std::to_string(audioRate_) + " Hz, " +
                 std::to_string(audioChannels_) + " channels, " + std::to_string(audioPackets_) +
                 " packets, " + withCommas(soundMs) + " ms");
}

void StreamCheck::checkPongs() {
    const char* name = kStepNames[3];
    if (badPongSize_ != 8) {
        fail(name, "a pong of " + std::to_string(badPongSize_) +
                       " bytes; it must echo the ping's 8 (Tovenmar drops it, so its clock never "
                       "syncs with the phone's)");
    } else if (pongNotEcho_) {
        fail(name, "a pong that does not echo a ping's 8 bytes");
    } else if (pongs_ == 0) {
        fail(name, "none of " + std::to_string(pingsSent_.size()) + " pings answered");
    } else if (pongWithoutClock_) {
        fail(name, "a pong whose header time stamp is 0; it must carry the phone's clock");
    } else {
        ok(name, std::to_string(pongs_) + " of " + std::to_string(pingsSent_.size()) +
                     " pings answered, best round trip " + roundTripText(bestRoundTrip_));
    }
}

void StreamCheck::checkStateReport() {
    const char* name = kStepNames[4];
    if (stateReports_ == 0) {
        fail(name, "no state report");
        return;
    }
    std::string missing;
    for (const std::string& key : noApp_ ? kNoAppStateKeys : kAppStateKeys) {
        if (state_.find(key) == state_.end()) missing += (missing.empty() ? "" : ", ") + key;
    }
    if (!missing.empty()) {
        fail(name, "the report lacks " + missing + " (Tovenmar keeps its old values for them)");
        return;
    }
    const std::string mode = value(state_, "mode");
    if (noApp_ != (mode == "noapp")) {
        fail(name, "\"mode\" is \"" + mode + "\"; the " + (noApp_ ? "No app" : "app") +
                       " stream reports " + (noApp_ ? "\"noapp\"" : "anything but \"noapp\""));
        return;
    }
    ok(name, std::to_string(state_.size()) + " keys, mode \"" + mode + "\", video " +
                 value(state_, "video") + ", audio " + value(state_, "audio"));
}

void StreamCheck::checkKeyframeRequest() {
    const char* name = kStepNames[5];
    const int keysBefore = keyPictures_;
    const int64_t asked = nowMicros();
    send(PacketType::KeyframeRequest);
    const bool ended = !pump(kKeyPictureLimitMs, [&] { return keyPictures_ > keysBefore; });
    if (keyPictures_ > keysBefore) {
        ok(name, "a key picture " + ms(lastKeyAt_ - asked) + " after the request");
    } else {
        fail(name, "no key picture within " + withCommas(kKeyPictureLimitMs) + " ms" +
                       (ended ? ": " + endedWhy() : ""));
    }
}

void StreamCheck::checkBitrateChange() {
    const char* name = kStepNames[6];
    const int64_t current = std::max<int64_t>(decimal64OrZero(value(options_, "bitrate")), 2000000);
    const std::string lower = std::to_string(std::max<int64_t>(current / 2, 1000000));
    // Phone app mode sends the changed key alone; No app mode the whole map.
    TextMap change = noApp_ ? options_ : TextMap{};
    change["bitrate"] = lower;
    options_["bitrate"] = lower;
    const size_t configsBefore = configs_.size();
    const int picturesBefore = pictures_;
    const int reportsBefore = stateReports_;
    send(PacketType::Options, change);
    const bool ended = !pump(kChangeWatchMs);
    if (ended) {
        fail(name, endedWhy());
    } else if (configs_.size() != configsBefore) {
        fail(name, "the phone restarted its video (a new configuration) for a bitrate change; it "
                   "must take a new bitrate without a break in the picture");
    } else if (stateReports_ > reportsBefore && state_.count("bitrate") &&
               value(state_, "bitrate") != lower) {
        fail(name, "the state report after it says bitrate " + value(state_, "bitrate") +
                       ", not " + lower);
    } else {
        ok(name, "bitrate " + lower + ": " + std::to_string(pictures_ - picturesBefore) +
                     " pictures in " + withCommas(kChangeWatchMs) + " ms, no restart" +
                     (stateReports_ > reportsBefore ? ", reported" : ""));
    }
}

void StreamCheck::checkSizeChange() {
    const char* name = kStepNames[7];
    TextMap change;
    std::string asked;
    const VideoConfig before = configs_.back();
    if (noApp_) {
        // The whole map with a smaller size, as the adaptive stream sends it.
        change = options_;
        const int64_t width = std::max<int64_t>(round8(before.width / 2.0), 8);
        const int64_t height = std::max<int64_t>(round8(before.height / 2.0), 8);
        change["width"] = std::to_string(width);
        change["height"] = std::to_string(height);
        asked = "size " + std::to_string(width) + "x" + std::to_string(height);
    } else {
        // The phone's next lower preset, as the phone lists them (best first). Without presets in
        // its report Tovenmar offers those the probe gave for the encoder in use.
        std::vector<PresetRecord> presets = parsePresets(value(state_, "presets"));
        if (state_.count("presets") == 0) {
            const PhoneInfo::Encoder* encoder =
                context_.info.encoderFor(value(state_, "codec"), value(state_, "encoder"));
            if (encoder) presets = parsePresets(encoder->presets);
        }
        const std::string current =
            value(state_, "preset").empty() ? value(options_, "preset") : value(state_, "preset");
        if (presets.size() < 2) {
            report_.skipped(step(name), "the phone lists fewer than two presets");
            return;
        }
        size_t at = 0;
        while (at < presets.size() && presets[at].name != current) ++at;
        const size_t next = at + 1 < presets.size() ? at + 1 : presets.size() - 2;
        change["preset"] = presets[next].name;
        asked = "preset \"" + presets[next].name + "\"";
    }
    for (const auto& [key, v] : change) options_[key] = v;
    const size_t configsBefore = configs_.size();
    const int64_t sent = nowMicros();
    send(PacketType::Options, change);
    bool ended = !pump(kKeyPictureLimitMs, [&] { return configs_.size() > configsBefore; });
    if (configs_.size() == configsBefore) {
        fail(name, asked + ": no new video configuration within " +
                       withCommas(kKeyPictureLimitMs) + " ms" + (ended ? ": " + endedWhy() : ""));
        return;
    }
    const int64_t configAt = nowMicros() - sent;
    const int keysBefore = keyPictures_;
    const int plainBefore = nonKeyAfterConfig_;
    ended = !pump(kKeyPictureLimitMs,
                  [&] { return keyPictures_ > keysBefore || nonKeyAfterConfig_ > plainBefore; });
    const VideoConfig& after = configs_.back();
    if (nonKeyAfterConfig_ > plainBefore) {
        fail(name, asked + ": the first picture after the new configuration is not a key picture");
    } else if (keyPictures_ == keysBefore) {
        fail(name, asked + ": a new configuration but no key picture after it" +
                       (ended ? ": " + endedWhy() : ""));
    } else if (std::string why = checkParameterSets(after); !why.empty()) {
        fail(name, asked + ": new configuration " + after.describe() + ": " + why);
    } else {
        ok(name, asked + ": new configuration " + after.describe() + " (was " +
                     std::to_string(before.width) + "x" + std::to_string(before.height) +
                     ") after " + ms(configAt) + ", then a key picture");
    }
}

void StreamCheck::checkStop() {
    const char* name = kStepNames[8];
    // Nothing follows the stop on its connection, as with Tovenmar.
    pinging_ = false;
    const int64_t sent = nowMicros();
    send(PacketType::Stop);
    pump(kStopLimitMs);
    if (closed_ && closeReason_.empty()) {
        ok(name, "the phone closed the connection " + ms(nowMicros() - sent) + " after the stop");
    } else {
        fail(name, silent_ ? endedWhy()
                           : "the connection was still open " + withCommas(kStopLimitMs) +
                                 " ms after the stop packet");
    }
}

void StreamCheck::run(bool helperRunning) {
    const char* first = kStepNames[0];
    if (noApp_ && !helperRunning) {
        report_.skipped(step(first), "the input helper, which serves it, is not running");
        return;
    }
    std::string why;
    if (!forward_.open(noApp_ ? kNoAppStreamRemote : kAppStreamRemote, why)) {
        fail(first, why);
        notReached(1, "no forward");
        return;
    }
    options_ = startOptions();
    bool offered = false;
    const std::string hello = connect(offered);
    if (!offered) {
        if (noApp_) {
            report_.skipped(step(first), "the phone does not serve the No app stream "
                                         "(connections to tovenmar-stream end at once)");
        } else {
            fail(first, "nothing serves tcp:27183 on the phone, also after \"am start\" of "
                        "com.tovenmar.app/.MainActivity (connections end at once; did the phone "
                        "ask to allow the capture?)");
            notReached(1, "no stream");
        }
        return;
    }
    if (hello.rfind("ok:", 0) != 0) {
        fail(first, hello);
        notReached(1, "no hello in time");
        return;
    }
    ok(first, hello.substr(3));

    using Check = void (StreamCheck::*)();
    const Check checks[] = {&StreamCheck::checkConfiguration,  &StreamCheck::checkMedia,
                            &StreamCheck::checkPongs,          &StreamCheck::checkStateReport,
                            &StreamCheck::checkKeyframeRequest, &StreamCheck::checkBitrateChange,
                            &StreamCheck::checkSizeChange,     &StreamCheck::checkStop};
    for (size_t i = 0; i < std::size(checks); ++i) {
        if (closed_ || silent_ || (i >= 4 && configs_.empty())) {
            notReached(i + 1, configs_.empty() && !closed_ && !silent_ ? "no video configuration"
                                                                        : endedBriefly());
            break;
        }
        (this->*checks[i])();
    }
    socket_.reset();
}

}  // namespace

void checkStream(const CheckContext& context, bool noApp, bool helperRunning, CheckReport& report) {
    StreamCheck(context, noApp, report).run(helperRunning);
}

}  // namespace tov::phonecheck
