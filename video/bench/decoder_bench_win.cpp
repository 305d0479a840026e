// The real decoder's time per picture (CPU path, as under Wine or without a video device):
// a phone-like 720p clip against the 320 x 640 phone clip in the same run.
// With `CLIP WIDTH HEIGHT` (a Unix path under Wine is fine) it measures that clip alone and
// ends with one line of `key=value` figures for scripts: the end-to-end benchmark's baselines.
#include <mfapi.h>
#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "video/bench/bench_stats.h"
#include "video/bench/process_cpu_win.h"
#include "video/mf_decoder_win.h"
#include "video/tests/annexb_units.h"

namespace tov {
namespace {

using Clock = std::chrono::steady_clock;

using bench::processCpuMs;

struct Result {
    double openMs = 0;
    double firstPictureMs = 0;  // open + feeding until the first picture comes out
    double cpuMs = 0;
    std::vector<double> packetMs;  // after each pass's first two packets (decoder start-up)
    std::vector<double> held;      // packets fed after a picture's own before it came out
    double pictures = 0;
    double totalMs = 0;
};

Result measure(const std::wstring& clipPath, int width, int height, int passes,
               MfDecoder::UnitEnd unitEnd = MfDecoder::UnitEnd::kDelimiter) {
    Result r;
    std::string clip;
    if (!readFile(clipPath, clip)) {
        std::printf("cannot read the clip\n");
        return r;
    }
    const test::SplitStream stream = test::splitH264(clip, false);
    MfDecoder decoder(nullptr, nullptr);
    decoder.setUnitEnd(unitEnd);
    decoder.threadStarting();
    int pictures = 0;
    Clock::time_point openStart;
    bool firstSeen = false;
    size_t fed = 0;
    auto count = [&](bool timeKnown, int64_t time) {
        ++pictures;
        if (timeKnown)
            r.held.push_back(static_cast<double>(fed) - 1 - static_cast<double>(time / 33333));
        if (!firstSeen) {
            r.firstPictureMs += std::chrono::duration<double, std::milli>(Clock::now() - openStart).count();
            firstSeen = true;
        }
    };
    const double cpuStart = processCpuMs();
    for (int pass = 0; pass < passes; ++pass) {
        openStart = Clock::now();
        firstSeen = false;
        if (!decoder.open(0, width, height, 30)) break;
        r.openMs += std::chrono::duration<double, std::milli>(Clock::now() - openStart).count();
        const auto passStart = Clock::now();
        for (size_t i = 0; i < stream.units.size(); ++i) {
            fed = i + 1;
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
    r.cpuMs = processCpuMs() - cpuStart;
    decoder.threadEnding();
    r.openMs /= passes;
    r.firstPictureMs /= passes;
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

int main(int argc, char** argv) {
    using namespace tov;
    const int passes = 5;
    if (argc == 4) {
        std::string path = argv[1];
        if (!path.empty() && path[0] == '/') path = "Z:" + path;  // Wine's view of the Unix root
        const std::wstring clip(path.begin(), path.end());
        // How long a picture stays in the decoder after its packet, each way of ending a packet.
        const struct {
            const char* name;
            MfDecoder::UnitEnd way;
        } ways[] = {{"as sent", MfDecoder::UnitEnd::kNone},
                    {"drain command", MfDecoder::UnitEnd::kDrain}};
        for (const auto& w : ways) {
            const Result other = measure(clip, std::atoi(argv[2]), std::atoi(argv[3]), 1, w.way);
            std::printf("%-14s packets held %.2f, per packet median %.2f ms, %.0f pictures\n",
                        w.name, bench::mean(other.held), bench::percentile(other.packetMs, 0.5),
                        other.pictures);
        }
        const Result r = measure(clip, std::atoi(argv[2]), std::atoi(argv[3]), passes);
        std::printf("%-14s ", "delimiter");
        report(argv[2], r);
        std::printf(
            "decoder open_ms=%.1f first_picture_ms=%.1f per_picture_ms=%.2f "
            "median_packet_ms=%.2f cpu_per_picture_ms=%.2f pictures=%.0f "
            "held_packets=%.1f\n",
            r.openMs, r.firstPictureMs, r.pictures ? r.totalMs / r.pictures : 0.0,
            bench::percentile(r.packetMs, 0.5), r.pictures ? r.cpuMs / r.pictures : 0.0, r.pictures,
            bench::mean(r.held));
        return r.pictures > 0 ? 0 : 1;
    }
    const Result small = measure(test::sourceFile("tests/media/phone_h264_320x640.h264"), 320, 640, passes);
    const Result hd = measure(test::sourceFile("video/tests/data/phone_h264_1280x720.h264"), 1280, 720, passes);
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
