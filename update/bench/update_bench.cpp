// What checking and fetching a build costs, each against a bare baseline measured in the same
// run, in alternating rounds so that load from elsewhere on the machine falls on both alike:
//   - verifyBuild (SHA-256 in 1 MiB blocks plus one ECDSA check) against reading the same file
//     in the same blocks;
//   - a GET of the build into a file through the program's HTTP client against a bare socket
//     read of the same response from the same loopback server.
//
//   update_bench [megabytes] [rounds]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/socket.h"
#include "tests/support/test_support.h"
#include "tools/release/signing.h"
#include "update/body_sink.h"
#include "update/http_get.h"
#include "update/signature.h"
#include "update/tests/local_http_server.h"

namespace tov {
namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <class Work>
double timeMs(Work work) {
    const int64_t start = nowMicros();
    work();
    return static_cast<double>(nowMicros() - start) / 1000.0;
}

bool bareRead(const std::wstring& path) {
    FILE* f = openSharedFile(path, L"rb");
    if (!f) return false;
    std::vector<char> block(kHashBlockBytes);
    while (std::fread(block.data(), 1, block.size(), f) == block.size()) {
    }
    std::fclose(f);
    return true;
}

uint64_t bareReceive(uint16_t port) {
    std::unique_ptr<TcpSocket> socket = TcpSocket::connectLoopback(port);
    if (!socket) return 0;
    const std::string request = "GET /build.exe HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    socket->sendAll(request.data(), request.size());
    std::vector<char> buffer(65536);
    uint64_t total = 0;
    while (true) {
        const RecvResult r = socket->receive(buffer.data(), buffer.size());
        if (r.status != RecvStatus::Data) break;
        total += r.bytes;
    }
    return total;
}

void report(const char* what, const std::vector<double>& program, const std::vector<double>& bare,
            double megabytes) {
    const double p = median(program), b = median(bare);
    std::printf("%-28s %9.1f ms (%7.1f MB/s)   baseline %9.1f ms (%7.1f MB/s)   ratio %.2f\n", what,
                p, megabytes * 1000.0 / p, b, megabytes * 1000.0 / b, p / b);
}

}  // namespace
}  // namespace tov

int main(int argc, char** argv) {
    using namespace tov;
    const int megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 64;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    initSockets();

    test::TempDir dir;
    const std::wstring www = dir.file(L"www");
    createDirectory(www);
    const std::wstring build = dir.file(L"www/build.exe");
    std::string bytes(static_cast<size_t>(megabytes) << 20, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 2654435761u >> 13);
    if (!writeFile(build, bytes)) return 1;
    const std::string key = release::generatePrivateKey();
    const std::string publicKey = release::publicKeyOf(key);
    const std::string signature = release::signFile(key, build);
    bytes.clear();
    bytes.shrink_to_fit();

    test::LocalHttpServer server(www);
    std::unique_ptr<HttpClient> http = makeHttpClient();
    const std::wstring part = dir.file(L"build.part");

    std::vector<double> verify, read, get, receive;
    for (int round = 0; round < rounds; ++round) {
        bool ok = true;
        verify.push_back(timeMs([&] { ok = verifyBuild(build, signature, publicKey) && ok; }));
        read.push_back(timeMs([&] { ok = bareRead(build) && ok; }));
        get.push_back(timeMs([&] {
            BodySink sink(part, kMaxBuildBytes);
            ok = http->get(server.url("/build.exe"), sink) && ok;
        }));
        receive.push_back(timeMs([&] { ok = bareReceive(server.port()) > 0 && ok; }));
        if (!ok) {
            std::fputs("a round failed\n", stderr);
            return 1;
        }
    }
    std::printf("%d MiB, %d rounds, medians\n", megabytes, rounds);
    report("verifyBuild vs file read", verify, read, megabytes);
    report("GET to file vs socket read", get, receive, megabytes);
    return 0;
}
