// The real decoder's time per picture (CPU path, as under Wine or without a video device):
// a phone-like 720p clip against the 320 x 640 phone clip in the same run.
#include <mfapi.h>
#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "video/bench/bench_stats.h"
#include "video/mf_decoder_win.h"
#include "video/tests/annexb_units.h"

namespace tov {
namespace {

using Clock = std::chrono::steady_clock;

struct Result {
    double openMs = 0;
    std::vector<double> packetMs;  // after each pass's first two packets (decoder start-up)
    double pictures = 0;
    double totalMs = 0;
};

Result measure(const char* clipPath, int width, int height, int passes) {
    Result r;
    std::string clip;
    if (!readFile(test::sourceFile(clipPath), clip)) {
        std::printf("cannot read %s\n", clipPath);
        return r;
    }
    const test::SplitStream stream = test::splitH264(clip, false);
    MfDecoder decoder(nullptr, nullptr);
    decoder.threadStarting();
    int pictures = 0;
    auto count = [&](bool, int64_t) { ++pictures; };
    for (int pass = 0; pass < passes; ++pass) {
        const auto openStart = Clock::now();
        if (!decoder.open(0, width, height, 30)) break;
        r.openMs += std::chrono::duration<double, std::milli>(Clock::now() - openStart).count();
        const auto passStart = Clock::now();
        for (size_t i = 0; i < stream.units.size(); ++i) {
            const auto start = Clock::now();
            decoder.decode(stream.units[i].bytes.data(), stream.units[i].bytes.size(),
                           static_cast<int64_t>(i) * 33333, count);
            const double ms =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            if (i >= 2) r.packetMs.push_back(ms);
        }
        decoder.finish(count);
        r.totalMs += std::chrono::duration<double, std::milli>(Clock::now() - passStart).count();
    }
    decoder.threadEnding();
    r.openMs /= passes;
    r.pictures = pictures;
    return r;
}

void report(const char* name, const Result& r) {
    std::printf(
        "%-9s open %.1f ms | per packet median %.2f ms, p99 %.2f ms | %.2f ms per picture "
        "over whole passes (%.0f pictures)\n",
        name, r.openMs, bench::percentile(r.packetMs, 0.5), bench::percentile(r.packetMs, 0.99),
        r.pictures ? r.totalMs / r.pictures : 0.0, r.pictures);
}

}  // namespace
}  // namespace tov

int main() {
    using namespace tov;
    const int passes = 5;
    const Result small = measure("tests/media/phone_h264_320x640.h264", 320, 640, passes);
    const Result hd = measure("video/tests/data/phone_h264_1280x720.h264", 1280, 720, passes);
    report("320x640", small);
    report("1280x720", hd);
    const double smallPerPicture = small.pictures ? small.totalMs / small.pictures : 0.0;
    const double hdPerPicture = hd.pictures ? hd.totalMs / hd.pictures : 0.0;
    if (smallPerPicture > 0) {
        std::printf(
            "720p / 320x640 time per picture: x%.2f (pixels x%.2f); 720p uses %.0f%% of "
            "a 30 fps frame period\n",
            hdPerPicture / smallPerPicture, (1280.0 * 720) / (320.0 * 640),
            hdPerPicture / (1000.0 / 30) * 100);
    }
    return hd.pictures > 0 ? 0 : 1;
}
