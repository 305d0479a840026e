// A child for process tests: tov_test_child <stdout bytes> <sleep ms> <exit code> [stderr bytes]
// Writes the stdout bytes (a repeating "0123456789" pattern, then "|"), the stderr bytes ("E"),
// sleeps, and exits with the given code. Output is flushed before the sleep.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    const long outBytes = argc > 1 ? std::atol(argv[1]) : 0;
    const long sleepMs = argc > 2 ? std::atol(argv[2]) : 0;
    const int exitCode = argc > 3 ? std::atoi(argv[3]) : 0;
    const long errBytes = argc > 4 ? std::atol(argv[4]) : 0;
    std::string out;
    for (long i = 0; i < outBytes; ++i) out += static_cast<char>('0' + i % 10);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    if (errBytes > 0) {
        std::string err(static_cast<size_t>(errBytes), 'E');
        std::fwrite(err.data(), 1, err.size(), stderr);
        std::fflush(stderr);
    }
    std::fputs("|", stdout);
    std::fflush(stdout);
    if (sleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    return exitCode;
}
