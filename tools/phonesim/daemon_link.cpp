#include "tools/phonesim/daemon_link.h"

#include <cstdlib>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "session/packet.h"

namespace tov::phonesim {

std::string joinArguments(const std::vector<std::string>& args) {
    std::string out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0) out.push_back('\0');
        out += args[i];
    }
    return out;
}

std::vector<std::string> splitArguments(const std::string& payload) {
    std::vector<std::string> args;
    if (payload.empty()) return args;
    size_t start = 0;
    while (true) {
        const size_t end = payload.find('\0', start);
        args.push_back(payload.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return args;
}

bool sendLinkMessage(TcpSocket& socket, LinkMessage type, const std::string& payload) {
    if (payload.size() > kMaxPayloadSize) return false;
    const std::vector<uint8_t> bytes =
        buildOutgoingPacket(static_cast<PacketType>(type), payload.data(), payload.size());
    return socket.sendAll(bytes.data(), bytes.size());
}

bool receiveLinkMessage(TcpSocket& socket, LinkMessage& type, std::string& payload) {
    uint8_t raw[kPacketHeaderSize];
    if (socket.receiveAll(raw, sizeof raw).status != RecvStatus::Data) return false;
    const PacketHeader header = decodeHeader(raw);
    if (header.length > kMaxPayloadSize) return false;
    payload.resize(header.length);
    if (header.length > 0 &&
        socket.receiveAll(payload.data(), payload.size()).status != RecvStatus::Data) {
        return false;
    }
    type = static_cast<LinkMessage>(header.type);
    return true;
}

uint16_t parsePort(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    unsigned long value = 0;
    size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 6; ++i, ++digits) {
        value = value * 10 + static_cast<unsigned long>(text[i] - '0');
    }
    for (; i < text.size(); ++i) {
        if (text[i] != ' ' && text[i] != '\r' && text[i] != '\n' && text[i] != '\t') return 0;
    }
    if (digits == 0 || value == 0 || value > 65535) return 0;
    return static_cast<uint16_t>(value);
}

uint16_t findDaemonPort(const std::wstring& programFolder) {
    const std::wstring fromEnv = getEnv(kPortVariable);
    if (!fromEnv.empty()) return parsePort(narrow(fromEnv));
    std::string text;
    if (readFile(joinPath(programFolder, kPortFileName), text)) return parsePort(text);
    return 0;
}

LinkAnswer exchange(uint16_t port, const std::vector<std::pair<LinkMessage, std::string>>& request,
                    const std::function<void(const std::string&)>& onOutput) {
    LinkAnswer answer;
    std::unique_ptr<TcpSocket> socket = TcpSocket::connectLoopback(port);
    if (!socket) return answer;
    socket->setNoDelay(true);
    for (const auto& [type, payload] : request) {
        if (!sendLinkMessage(*socket, type, payload)) return answer;
    }
    LinkMessage type;
    std::string payload;
    while (receiveLinkMessage(*socket, type, payload)) {
        if (type == LinkMessage::Output) {
            if (onOutput) onOutput(payload);
            answer.output += payload;
        } else if (type == LinkMessage::Exit && payload.size() == 4) {
            answer.exitCode =
                static_cast<int>(readU32(reinterpret_cast<const uint8_t*>(payload.data())));
            return answer;
        }
    }
    return answer;
}

}  // namespace tov::phonesim
