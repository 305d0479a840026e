// The adb stand-in: hands its command line (and any local file it names) to the phone simulator
// daemon and prints the answer with the daemon's exit code, as adb does with a real phone.
#include <cstdio>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "tools/phonesim/adb_args.h"
#include "tools/phonesim/daemon_link.h"
#include "tools/phonesim/program_args.h"

using namespace tov;
using namespace tov::phonesim;

int main(int argc, char** argv) {
    useBinaryOutput();
    const std::vector<std::string> args = programArguments(argc, argv);
    initSockets();
    const uint16_t port = findDaemonPort(exeFolder());
    if (port == 0) {
        std::fprintf(stderr, "adb: cannot connect to daemon: no phone simulator is running\n");
        return 1;
    }
    std::vector<std::pair<LinkMessage, std::string>> request;
    const std::string localFile = localFileArgument(args);
    if (!localFile.empty()) {
        std::string bytes;
        if (!readFile(widen(localFile), bytes)) {
            std::fprintf(stderr, "adb: error: cannot stat '%s': No such file or directory\n",
                         localFile.c_str());
            return 1;
        }
        if (bytes.size() > kMaxFileSize) {
            std::fprintf(stderr, "adb: error: '%s' is too large for the phone simulator\n",
                         localFile.c_str());
            return 1;
        }
        for (size_t at = 0; at < bytes.size(); at += kFilePieceSize) {
            request.emplace_back(LinkMessage::FileData, bytes.substr(at, kFilePieceSize));
        }
    }
    // "pair" without a code asks for it and reads it from standard input, as adb does.
    const AdbArgs parsed = parseAdbArgs(args);
    if (parsed.command == "pair" && parsed.words.size() == 1) {
        std::fputs("Enter pairing code: ", stdout);
        std::fflush(stdout);
        char line[256];
        if (std::fgets(line, sizeof line, stdin)) {
            std::string code = line;
            while (!code.empty() && (code.back() == '\n' || code.back() == '\r')) code.pop_back();
            request.emplace_back(LinkMessage::FileData, code);
        }
    }
    request.emplace_back(LinkMessage::AdbCommand, joinArguments(args));
    const LinkAnswer answer = exchange(port, request, [](const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    });
    cleanupSockets();
    if (answer.exitCode < 0) {
        std::fprintf(stderr, "adb: cannot connect to daemon at tcp:%u\n", port);
        return 1;
    }
    return answer.exitCode;
}
