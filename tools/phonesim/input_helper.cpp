#include "tools/phonesim/input_helper.h"

#include <atomic>
#include <thread>

#include "platform/clock.h"
#include "session/packet.h"
#include "session/packet_reader.h"
#include "tools/phonesim/phone_sender.h"
#include "platform/sha256.h"
#include "tools/phonesim/simulator.h"

namespace tov::phonesim {
namespace {

enum : uint8_t {
    kHello = 1,
    kScreenSize = 2,
    kMouseState = 3,
    kPong = 4,
    kTouch = 20,
    kScroll = 21,
    kKey = 22,
    kDeviceModeOn = 30,
    kDeviceModeOff = 31,
    kMouseReport = 32,
    kHidKey = 33,
    kPing = 40,
    kClipOptions = 50,
    kClipHeader = 51,
    kClipChunk = 52,
};

constexpr size_t kClipChunkSize = 32768;
// Larger items are not collected: the phone's clipboard would not take them either.
constexpr uint32_t kMaxClipSize = 20971520;

const uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}
int s16(const uint8_t* p) {
    return static_cast<int16_t>(readU16(p));
}
int s8(uint8_t v) {
    return static_cast<int8_t>(v);
}
std::string n(long long v) {
    return std::to_string(v);
}

std::string framed(uint8_t type, const std::string& payload) {
    std::string out(kPacketHeaderSize, '\0');
    PacketHeader h;
    h.type = type;
    h.length = static_cast<uint32_t>(payload.size());
    encodeHeader(h, reinterpret_cast<uint8_t*>(out.data()));
    return out + payload;
}

std::string sizeText(int w, int h) {
    return "width=" + n(w) + "\nheight=" + n(h);
}

// The phone's clipboard takes the item; a picture is also saved, replacing the previous one.
void keepClip(SimPhone& phone, const ClipRecord& item) {
    phone.clipsIn.push_back(item);
    if (item.kind == 1) return;
    const std::string folder = kPictureFolder;
    std::erase_if(phone.files, [&](const auto& f) { return f.first.rfind(folder, 0) == 0; });
    phone.files[folder + "clip-" + n(static_cast<long long>(phone.clipsIn.size())) + ".png"] = {
        sha256Hex(item.data), item.data.size()};
}

class HelperConnection {
  public:
    HelperConnection(Simulator& sim, const ConnectionInfo& info, TcpSocket& socket)
        : sim_(sim), info_(info), socket_(socket), sender_(socket) {}

    void run() {
        int version = 11;
        {
            std::lock_guard lock(sim_.mutex);
            auto p = sim_.find(info_.phoneId);
            if (!p) return;
            version = p->helperVersion;
            width_ = p->screenWidth();
            height_ = p->screenHeight();
        }
        if (!sender_.send(kHello, "version=" + n(version) + "\n" + sizeText(width_, height_))) {
            return;
        }
        std::thread writer([this] { writeLoop(); });
        readLoop();
        running_ = false;
        socket_.shutdown();
        writer.join();
    }

  private:
    void readLoop() {
        PacketReader reader;
        Packet packet;
        ClipAssembler clips;
        while (reader.receive(socket_, packet) == ReceiveStatus::Ok) {
            const uint8_t type = packet.header.type;
            const std::string payload(reinterpret_cast<const char*>(packet.payload), packet.size);
            if (type == kPing) {
                if (payload.size() == 8) sender_.send(kPong, payload);
                std::lock_guard lock(sim_.mutex);
                if (auto p = sim_.find(info_.phoneId)) ++p->pings;
                continue;
            }
            const std::string line = describeInputMessage(type, payload);
            ClipRecord item;
            const bool complete = clips.add(type, payload, item);
            bool exact = true;
            {
                std::lock_guard lock(sim_.mutex);
                auto p = sim_.find(info_.phoneId);
                if (!p) return;
                p->events.push_back(line);
                if (complete) keepClip(*p, item);
                exact = p->exactAccepted;
            }
            if (type == kDeviceModeOn && payload.size() == 4 && (payload[0] & 1)) {
                // The phone answers a mouse request with whether it took the exact mouse.
                const bool wanted = payload[1] != 0;
                sender_.send(kMouseState, std::string("exact=") + (wanted && exact ? "1" : "0"));
            }
        }
    }

    // Sends what the phone starts on its own: a new screen size, clipboard items.
    void writeLoop() {
        while (running_) {
            std::vector<ClipRecord> out;
            int w = 0, h = 0;
            {
                std::lock_guard lock(sim_.mutex);
                auto p = sim_.find(info_.phoneId);
                if (!p) return;
                out.swap(p->clipsOut);
                w = p->screenWidth();
                h = p->screenHeight();
            }
            if (w != width_ || h != height_) {
                width_ = w;
                height_ = h;
                if (!sender_.send(kScreenSize, sizeText(w, h))) return;
            }
            for (const ClipRecord& item : out) {
                if (!sender_.sendRaw(clipMessages(item))) return;
            }
            sleepMs(20);
        }
    }

    Simulator& sim_;
    ConnectionInfo info_;
    TcpSocket& socket_;
    PhoneSender sender_;
    std::atomic<bool> running_{true};
    int width_ = 0;
    int height_ = 0;
};

}  // namespace

std::string describeInputMessage(uint8_t type, const std::string& payload) {
    const uint8_t* p = bytes(payload);
    const size_t size = payload.size();
    auto bad = [&](const char* name) { return std::string(name) + " bad size=" + n(size); };
    switch (type) {
        case kTouch:
            if (size != 6) return bad("touch");
            return "touch action=" + n(p[0]) + " pointer=" + n(p[1]) + " x=" + n(readU16(p + 2)) +
                   " y=" + n(readU16(p + 4));
        case kScroll:
            if (size != 8) return bad("scroll");
            return "scroll x=" + n(readU16(p)) + " y=" + n(readU16(p + 2)) + " h=" + n(s16(p + 4)) +
                   " v=" + n(s16(p + 6));
        case kKey:
            if (size != 11) return bad("key");
            return "key action=" + n(p[0]) + " code=" + n(static_cast<int32_t>(readU32(p + 1))) +
                   " meta=" + n(static_cast<int32_t>(readU32(p + 5))) +
                   " repeat=" + n(readU16(p + 9));
        case kDeviceModeOn:
            if (size != 4) return bad("devicemode");
            return "devicemode bits=" + n(p[0]) + " exact=" + n(p[1]) +
                   " speed=" + n(readU16(p + 2));
        case kDeviceModeOff:
            return size == 0 ? "devicemodeoff" : bad("devicemodeoff");
        case kMouseReport:
            if (size != 7) return bad("mouse");
            return "mouse buttons=" + n(p[0]) + " dx=" + n(s16(p + 1)) + " dy=" + n(s16(p + 3)) +
                   " wheel=" + n(s8(p[5])) + " hwheel=" + n(s8(p[6]));
        case kHidKey:
            if (size != 2) return bad("hidkey");
            return "hidkey usage=" + n(p[0]) + " pressed=" + n(p[1]);
        case kClipOptions: {
            std::string text = payload;
            for (char& c : text) {
                if (c == '\n') c = ' ';
            }
            return "clipoptions " + text;
        }
        case kClipHeader:
            if (size < 6) return bad("clipheader");
            return "clipheader kind=" + n(p[0]) + " private=" + n(p[1] & 1) +
                   " size=" + n(readU32(p + 2)) + " mime=" + payload.substr(6);
        case kClipChunk:
            return "clipchunk size=" + n(static_cast<long long>(size));
        default:
            return "unknown type=" + n(type) + " size=" + n(static_cast<long long>(size));
    }
}

bool ClipAssembler::add(uint8_t type, const std::string& payload, ClipRecord& item) {
    if (type == kClipHeader) {
        collecting_ = false;
        if (payload.size() < 6) return false;
        const uint8_t* p = bytes(payload);
        current_ = ClipRecord{p[0], (p[1] & 1) != 0, payload.substr(6), {}};
        total_ = readU32(p + 2);
        collecting_ = total_ <= kMaxClipSize;
        if (!collecting_) return false;
    } else if (type == kClipChunk && collecting_) {
        const size_t room = total_ - current_.data.size();
        current_.data.append(payload, 0, std::min(room, payload.size()));
    } else {
        return false;
    }
    if (collecting_ && current_.data.size() >= total_) {
        collecting_ = false;
        item = std::move(current_);
        return true;
    }
    return false;
}

std::string clipMessages(const ClipRecord& item) {
    std::string header;
    header.push_back(static_cast<char>(item.kind));
    header.push_back(item.isPrivate ? 1 : 0);
    uint8_t size[4];
    writeU32(size, static_cast<uint32_t>(item.data.size()));
    header.append(reinterpret_cast<const char*>(size), 4);
    header += item.mime;
    std::string out = framed(kClipHeader, header);
    for (size_t at = 0; at < item.data.size(); at += kClipChunkSize) {
        out += framed(kClipChunk, item.data.substr(at, kClipChunkSize));
    }
    return out;
}

void runInputHelper(Simulator& sim, const ConnectionInfo& info, TcpSocket& socket) {
    HelperConnection(sim, info, socket).run();
}

}  // namespace tov::phonesim
