#include "wifi/wifi_answers.h"

#include "phone/output_text.h"

namespace tov {
namespace {

// Splits at tabs; a line without tabs (a hand-made or older form) at runs of blanks.
std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    const bool tabs = line.find('\t') != std::string_view::npos;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = tabs ? line.find('\t', start) : line.find(' ', start);
        if (end == std::string_view::npos) end = line.size();
        const std::string_view piece = trimBlanks(line.substr(start, end - start));
        if (!piece.empty() || tabs) out.push_back(piece);
        start = end + 1;
    }
    return out;
}

// adb asks for a pairing code missing from its command line and reads it from its standard
// input; its answer follows the question on the same line.
std::string_view withoutPrompt(std::string_view line) {
    constexpr std::string_view kPrompt = "Enter pairing code: ";
    return startsWith(line, kPrompt) ? trimBlanks(line.substr(kPrompt.size())) : line;
}

}  // namespace

bool discoveryAvailable(std::string_view checkOutput) {
    for (std::string_view line : splitLines(checkOutput)) {
        if (startsWith(trimBlanks(line), "mdns daemon version")) return true;
    }
    return false;
}

std::vector<MdnsService> parseMdnsServices(std::string_view output) {
    std::vector<MdnsService> services;
    for (std::string_view line : splitLines(output)) {
        if (trimBlanks(line).empty() || startsWith(line, "List of")) continue;
        const std::vector<std::string_view> f = fields(line);
        if (f.size() != 3 || f[0].empty() || f[1].empty()) continue;
        std::string_view type = f[1];
        if (type.back() == '.') type.remove_suffix(1);
        std::string host;
        int port = 0;
        if (!splitAddress(f[2], host, port)) continue;
        services.push_back({std::string(f[0]), std::string(type), std::string(f[2])});
    }
    return services;
}

PairAnswer readPairAnswer(std::string_view output) {
    PairAnswer answer;
    for (std::string_view line : splitLines(output)) {
        line = withoutPrompt(trimBlanks(line));
        if (!startsWith(line, "Successfully paired to ")) continue;
        answer.ok = true;
        const size_t guid = line.find("[guid=");
        if (guid != std::string_view::npos) {
            const size_t close = line.find(']', guid);
            if (close != std::string_view::npos) {
                answer.guid = std::string(line.substr(guid + 6, close - guid - 6));
            }
        }
        break;
    }
    return answer;
}

ConnectAnswer readConnectAnswer(std::string_view output) {
    ConnectAnswer answer;
    constexpr std::string_view kFresh = "connected to ";
    constexpr std::string_view kAlready = "already connected to ";
    for (std::string_view line : splitLines(output)) {
        line = trimBlanks(line);
        for (std::string_view prefix : {kFresh, kAlready}) {
            if (startsWith(line, prefix) && line.size() > prefix.size()) {
                answer.ok = true;
                answer.already = prefix == kAlready;
                answer.serial = std::string(trimBlanks(line.substr(prefix.size())));
                return answer;
            }
        }
    }
    return answer;
}

std::string adbWords(std::string_view output) {
    constexpr size_t kLimit = 160;
    std::string words;
    for (std::string_view line : splitLines(output)) {
        line = withoutPrompt(trimBlanks(line));
        for (std::string_view prefix : {"adb: ", "error: "}) {
            if (startsWith(line, prefix)) line.remove_prefix(prefix.size());
        }
        if (line.empty()) continue;
        if (!words.empty()) words += ' ';
        words += line;
        if (words.size() >= kLimit) break;
    }
    if (words.size() > kLimit) {
        words.resize(kLimit);
        // Never end inside a UTF-8 sequence.
        while (!words.empty() && (static_cast<unsigned char>(words.back()) & 0xC0) == 0x80) {
            words.pop_back();
        }
        if (!words.empty() && static_cast<unsigned char>(words.back()) >= 0xC0) words.pop_back();
        words += "…";
    }
    return words.empty() ? std::string("adb gave no reason") : words;
}

std::string wifiAddressFromIp(std::string_view ipOutput) {
    std::string_view interfaceName;
    for (std::string_view line : splitLines(ipOutput)) {
        if (!line.empty() && line[0] >= '0' && line[0] <= '9') {
            // "30: wlan0: <BROADCAST,...> ..." (a name may carry "@parent").
            const size_t first = line.find(": ");
            const size_t second =
                first == std::string_view::npos ? first : line.find(':', first + 2);
            interfaceName = second == std::string_view::npos
                                ? std::string_view()
                                : line.substr(first + 2, second - first - 2);
            const size_t at = interfaceName.find('@');
            if (at != std::string_view::npos) interfaceName = interfaceName.substr(0, at);
            continue;
        }
        line = trimBlanks(line);
        if (!startsWith(line, "inet ") || !startsWith(interfaceName, "wlan")) continue;
        std::string_view address = line.substr(5);
        address = address.substr(0, address.find_first_of("/ "));
        if (!address.empty() && !startsWith(address, "127.")) return std::string(address);
    }
    return {};
}

bool isPlainWord(std::string_view text) {
    if (text.empty() || text.size() > 253 || text[0] == '-') return false;
    for (char c : text) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '.' && c != '-' && c != '_' && c != ':' && c != '[' &&
            c != ']' && c != '%') {
            return false;
        }
    }
    return true;
}

bool splitAddress(std::string_view address, std::string& host, int& port) {
    const size_t colon = address.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    const std::string_view hostPart = address.substr(0, colon);
    const std::string_view digits = address.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    if (!isPlainWord(hostPart)) return false;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    host = std::string(hostPart);
    port = value;
    return true;
}

}  // namespace tov
