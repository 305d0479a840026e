#include "tools/phonesim/daemon_server.h"

#include "session/packet.h"
#include "tools/phonesim/daemon_link.h"

namespace tov::phonesim {
namespace {

// A command's client connection. Output goes out at once; a hang-up is noticed by a short read.
class SocketChannel final : public CommandChannel {
  public:
    explicit SocketChannel(TcpSocket& socket) : socket_(socket) {}
    void write(const std::string& text) override {
        if (!text.empty() && !gone_) gone_ = !sendLinkMessage(socket_, LinkMessage::Output, text);
    }
    bool clientGone(uint32_t ms) override {
        if (gone_) return true;
        socket_.setReceiveTimeout(ms);
        char byte;
        const RecvResult r = socket_.receive(&byte, 1);
        if (r.status == RecvStatus::Closed || r.status == RecvStatus::Failed) gone_ = true;
        return gone_;
    }
    void finish(int code) {
        uint8_t raw[4];
        writeU32(raw, static_cast<uint32_t>(code));
        if (!gone_) sendLinkMessage(socket_, LinkMessage::Exit, std::string(raw, raw + 4));
    }

  private:
    TcpSocket& socket_;
    bool gone_ = false;
};

// Collects a scenario line's output for the error report.
class TextChannel final : public CommandChannel {
  public:
    void write(const std::string& text) override { text_ += text; }
    bool clientGone(uint32_t) override { return true; }
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

}  // namespace

bool DaemonServer::listen(uint16_t port) {
    listener_ = TcpListener::listenLoopback(port);
    return listener_ != nullptr;
}

void DaemonServer::serve(const std::function<bool()>& shouldStop) {
    while (!shouldStop() && !sim_.quitRequested()) {
        std::unique_ptr<TcpSocket> socket = listener_->accept(200);
        if (!socket) continue;
        std::shared_ptr<TcpSocket> shared(std::move(socket));
        sim_.workers.run([this, shared] { handle(shared); });
    }
    listener_->close();
}

void DaemonServer::handle(std::shared_ptr<TcpSocket> socket) {
    // Registered so that the daemon's stop cuts a command that waits (a helper, a hang).
    ConnectionSet::Guard guard(sim_.connections, socket.get(), ConnectionInfo{});
    socket->setNoDelay(true);
    socket->setReceiveTimeout(10000);
    std::string file;
    LinkMessage type;
    std::string payload;
    while (receiveLinkMessage(*socket, type, payload)) {
        if (type == LinkMessage::FileData) {
            if (file.size() + payload.size() > kMaxFileSize) return;  // not a client of ours
            file += payload;
            continue;
        }
        SocketChannel channel(*socket);
        int code = 1;
        if (type == LinkMessage::AdbCommand) {
            code = sim_.adb(splitArguments(payload), file, channel);
        } else if (type == LinkMessage::Control) {
            code = sim_.control(payload, channel);
        } else {
            channel.write("phonesim: unknown request\n");
        }
        channel.finish(code);
        return;
    }
}

bool DaemonServer::runScenario(const std::string& text, std::string& error) {
    size_t start = 0;
    int number = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ++number;
        TextChannel channel;
        if (sim_.control(line, channel) != 0) {
            error = "line " + std::to_string(number) + ": " + channel.text();
            while (!error.empty() && error.back() == '\n') error.pop_back();
            return false;
        }
        start = end + 1;
    }
    return true;
}

}  // namespace tov::phonesim
