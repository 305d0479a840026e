// phonesim: the simulator daemon ("serve") and its control client ("ctl"). See README.md.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "tools/phonesim/daemon_link.h"
#include "tools/phonesim/daemon_server.h"
#include "tools/phonesim/simulator.h"

using namespace tov;
using namespace tov::phonesim;

namespace {

std::atomic<bool> gStop{false};

void onSignal(int) {
    gStop = true;
}

int usage() {
    std::fprintf(stderr,
                 "usage: phonesim serve [--port N] [--port-file FILE] [--scenario FILE] "
                 "[--clip FILE] [--hevc-clip FILE] [--exit-with-parent]\n"
                 "       phonesim ctl [--port N] COMMAND WORDS...\n");
    return 2;
}

int serve(int argc, char** argv) {
    uint16_t port = 0;
    bool withParent = false;
    std::string portFile, scenario, clip = TOV_PHONESIM_DEFAULT_CLIP;
    std::string hevcClip = TOV_PHONESIM_DEFAULT_HEVC_CLIP;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--exit-with-parent") {
            withParent = true;
            continue;
        }
        if (i + 1 >= argc) return usage();
        const std::string value = argv[++i];
        if (arg == "--port") {
            port = parsePort(value);
            if (port == 0) return usage();
        } else if (arg == "--port-file") {
            portFile = value;
        } else if (arg == "--scenario") {
            scenario = value;
        } else if (arg == "--clip") {
            clip = value;
        } else if (arg == "--hevc-clip") {
            hevcClip = value;
        } else {
            return usage();
        }
    }
    Simulator sim(clip, hevcClip);
    std::string error;
    if (!sim.loadDefaultClip(error)) {
        std::fprintf(stderr, "phonesim: %s\n", error.c_str());
        return 1;
    }
    DaemonServer server(sim);
    if (!scenario.empty()) {
        std::string text;
        if (!readFile(widen(scenario), text)) {
            std::fprintf(stderr, "phonesim: cannot read %s\n", scenario.c_str());
            return 1;
        }
        if (!server.runScenario(text, error)) {
            std::fprintf(stderr, "phonesim: %s: %s\n", scenario.c_str(), error.c_str());
            return 1;
        }
    }
    if (!server.listen(port)) {
        std::fprintf(stderr, "phonesim: cannot listen on port %u\n", port);
        return 1;
    }
    if (!portFile.empty()) {
        // Written whole under a temporary name, so a reader never sees half a number.
        const std::wstring target = widen(portFile), temp = target + L".tmp";
        if (!writeFile(temp, std::to_string(server.port()) + "\n") ||
            !moveFile(temp, target, true)) {
            std::fprintf(stderr, "phonesim: cannot write %s\n", portFile.c_str());
            return 1;
        }
    }
    std::printf("phonesim: listening on 127.0.0.1:%u\n", server.port());
    std::fflush(stdout);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    // A test that dies without stopping its daemon must not leave it holding ports.
    const pid_t parent = getppid();
    server.serve([&] { return gStop || (withParent && getppid() != parent); });
    sim.stop();
    return 0;
}

int ctl(int argc, char** argv) {
    int i = 2;
    uint16_t port = 0;
    if (i + 1 < argc && std::strcmp(argv[i], "--port") == 0) {
        port = parsePort(argv[i + 1]);
        i += 2;
    } else {
        port = findDaemonPort(L"");
    }
    if (port == 0 || i >= argc) return usage();
    std::string line;
    for (; i < argc; ++i) {
        std::string word = argv[i];
        // Words are quoted again so that the daemon splits them back as given.
        if (word.empty() || word.find_first_of(" \t'\"\\") != std::string::npos) {
            std::string quoted = "'";
            for (char c : word) quoted += c == '\'' ? std::string("'\"'\"'") : std::string(1, c);
            word = quoted + "'";
        }
        line += (line.empty() ? "" : " ") + word;
    }
    const LinkAnswer answer = exchange(port, {{LinkMessage::Control, line}});
    std::fwrite(answer.output.data(), 1, answer.output.size(), stdout);
    if (answer.exitCode < 0) {
        std::fprintf(stderr, "phonesim: no daemon on port %u\n", port);
        return 1;
    }
    return answer.exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    initSockets();
    if (argc >= 2 && std::strcmp(argv[1], "serve") == 0) return serve(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "ctl") == 0) return ctl(argc, argv);
    return usage();
}
