#include "tools/phonesim/simulator.h"

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tools/phonesim/input_helper.h"
#include "tools/phonesim/stream_server.h"

namespace tov::phonesim {

Simulator::Simulator(std::string defaultClipPath, std::string defaultHevcClipPath)
    : forwards(
          [this](const std::string& serial, const std::string& remote,
                 std::unique_ptr<TcpSocket> socket) { route(serial, remote, std::move(socket)); }),
      defaultClipPath_(std::move(defaultClipPath)),
      defaultHevcClipPath_(std::move(defaultHevcClipPath)) {}

Simulator::~Simulator() {
    stop();
}

bool Simulator::loadDefaultClip(std::string& error) {
    return clipFor(VideoCodec::H264, {}, error) != nullptr;
}

std::shared_ptr<const VideoClip> Simulator::clipFor(VideoCodec codec, const std::string& path,
                                                    std::string& error) {
    const bool hevc = codec == VideoCodec::Hevc;
    const std::string& file = !path.empty() ? path : hevc ? defaultHevcClipPath_ : defaultClipPath_;
    std::lock_guard lock(clipMutex_);
    auto it = clips_.find({codec, file});
    if (it != clips_.end()) return it->second;
    std::string bytes;
    if (!readFile(widen(file), bytes)) {
        error = "cannot read the clip " + file;
        return nullptr;
    }
    auto clip = std::make_shared<VideoClip>();
    if (!parseVideoClip(bytes, codec, *clip, error)) {
        error = file + ": " + error;
        return nullptr;
    }
    clips_[{codec, file}] = clip;
    return clip;
}

std::shared_ptr<SimPhone> Simulator::attached(const std::string& serial) const {
    for (const auto& p : phones) {
        if (p->listed(serial)) return p;
    }
    return nullptr;
}

std::shared_ptr<SimPhone> Simulator::find(const std::string& idOrSerial) const {
    for (const auto& p : phones) {
        if (p->id == idOrSerial) return p;
    }
    for (const auto& p : phones) {
        if (p->hasSerial(idOrSerial)) return p;
    }
    return nullptr;
}

std::string Simulator::deviceList(bool longForm) const {
    std::string text;
    int transport = 1;
    for (const auto& p : phones) {
        for (const PhoneLink* link : {&p->usb, &p->wifi}) {
            if (!link->plugged || link->serial.empty()) continue;
            text += longForm ? devicesLine(*p, link->serial, transport)
                             : link->serial + "\t" + p->state;
            text += "\n";
            ++transport;
        }
    }
    return text;
}

void Simulator::linkGone(const std::string& phoneId, const std::string& serial) {
    forwards.removeAll(serial);
    connections.cut(
        [&](const ConnectionInfo& c) { return c.phoneId == phoneId && c.serial == serial; });
}

void Simulator::helperGone(const std::string& phoneId) {
    connections.cut([&](const ConnectionInfo& c) {
        return c.phoneId == phoneId &&
               (c.kind == ServiceKind::InputHelper || c.kind == ServiceKind::NoAppStream);
    });
}

void Simulator::route(const std::string& serial, const std::string& remote,
                      std::unique_ptr<TcpSocket> socket) {
    std::shared_ptr<SimPhone> phone;
    ServiceKind kind = ServiceKind::AppStream;
    {
        std::lock_guard lock(mutex);
        phone = attached(serial);
        if (!phone || phone->state != "device") return;  // the connection closes at once
        if (remote == "tcp:27183" && phone->appRunning && tickMs() >= phone->appServesAtMs) {
            kind = ServiceKind::AppStream;
        } else if (remote == "localabstract:tovenmar-stream" && phone->helperRun != 0) {
            kind = ServiceKind::NoAppStream;
        } else if (remote == "localabstract:tovenmar-input" && phone->helperRun != 0) {
            kind = ServiceKind::InputHelper;
        } else {
            return;  // nothing listens there on the phone: adb closes the connection
        }
    }
    if (stopping_) return;
    ConnectionInfo info{phone->id, serial, kind};
    auto shared = std::shared_ptr<TcpSocket>(std::move(socket));
    workers.run([this, info, shared] {
        ConnectionSet::Guard guard(connections, shared.get(), info);
        if (stopping_) return;
        if (info.kind == ServiceKind::InputHelper) {
            runInputHelper(*this, info, *shared);
        } else {
            runStreamServer(*this, info, *shared);
        }
    });
}

void Simulator::stop() {
    stopping_ = true;
    forwards.removeAll();
    connections.cut([](const ConnectionInfo&) { return true; });
    workers.joinAll();
}

}  // namespace tov::phonesim
