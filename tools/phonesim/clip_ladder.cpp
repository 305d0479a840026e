#include "tools/phonesim/clip_ladder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <tuple>

#include "platform/files.h"
#include "platform/text.h"

namespace tov::phonesim {
namespace {

int longSide(int width, int height) {
    return std::max(width, height);
}

// "1080x2400_60_12000k.h264" → the rung's numbers; false for any other name.
bool parseRungName(const std::string& name, LadderRung& rung) {
    int w = 0, h = 0, fps = 0, kbps = 0;
    char tail[16] = {};
    if (std::sscanf(name.c_str(), "%dx%d_%d_%dk%15s", &w, &h, &fps, &kbps, tail) != 5 ||
        std::string(tail) != ".h264" || w <= 0 || h <= 0 || fps <= 0 || fps > 240 || kbps <= 0) {
        return false;
    }
    rung.width = w;
    rung.height = h;
    rung.fps = fps;
    rung.bitrate = int64_t{kbps} * 1000;
    return true;
}

int64_t number(const TextMap& m, const char* key) {
    auto it = m.find(key);
    return it == m.end() ? 0 : std::max<long long>(0, std::atoll(it->second.c_str()));
}

// The highest value not above `limit` (0: no limit), else the least.
template <typename T>
T bestUnder(const std::vector<T>& values, T limit) {
    T best{}, least{};
    bool haveBest = false, haveLeast = false;
    for (T v : values) {
        if ((limit == 0 || v <= limit) && (!haveBest || v > best)) best = v, haveBest = true;
        if (!haveLeast || v < least) least = v, haveLeast = true;
    }
    return haveBest ? best : least;
}

}  // namespace

std::vector<LadderRung> listLadder(const std::string& folder) {
    std::vector<LadderRung> rungs;
    for (const std::wstring& file : listFiles(widen(folder))) {
        LadderRung rung;
        if (!parseRungName(narrow(file), rung)) continue;
        rung.path = folder + "/" + narrow(file);
        rungs.push_back(rung);
    }
    std::sort(rungs.begin(), rungs.end(), [](const LadderRung& a, const LadderRung& b) {
        const int64_t pa = int64_t{a.width} * a.height * a.fps;
        const int64_t pb = int64_t{b.width} * b.height * b.fps;
        return std::tie(pa, a.width, a.bitrate) > std::tie(pb, b.width, b.bitrate);
    });
    return rungs;
}

std::string presetName(const LadderRung& rung) {
    return std::to_string(std::min(rung.width, rung.height)) + "p" + std::to_string(rung.fps);
}

std::string ladderPresets(const std::vector<LadderRung>& rungs) {
    std::string out;
    std::vector<std::string> seen;
    for (const LadderRung& r : rungs) {
        const std::string name = presetName(r);
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
        seen.push_back(name);
        const std::string w = std::to_string(r.width), h = std::to_string(r.height);
        const std::string fps = std::to_string(r.fps);
        out += (out.empty() ? "" : ";") + name + ":" + w + "x" + h + " " + fps + " fps:" + fps +
               ":" + w + ":" + h;
    }
    return out;
}

StreamWish wishFromOptions(const TextMap& options, bool noApp,
                           const std::vector<LadderRung>& rungs) {
    StreamWish wish;
    wish.bitrate = number(options, "bitrate");
    auto preset = options.find("preset");
    if (!noApp && preset != options.end() && preset->second != "custom") {
        for (const LadderRung& r : rungs) {
            if (presetName(r) == preset->second) {
                wish.width = r.width;
                wish.height = r.height;
                wish.fps = r.fps;
                return wish;
            }
        }
    }
    wish.width = static_cast<int>(std::min<int64_t>(number(options, "width"), 100000));
    wish.height = static_cast<int>(std::min<int64_t>(number(options, "height"), 100000));
    wish.fps = static_cast<int>(std::min<int64_t>(number(options, "fps"), 1000));
    return wish;
}

size_t pickRung(const std::vector<LadderRung>& rungs, const StreamWish& wish) {
    std::vector<int> sides;
    for (const LadderRung& r : rungs) sides.push_back(longSide(r.width, r.height));
    const int side = bestUnder(sides, longSide(wish.width, wish.height));
    std::vector<int> rates;
    for (const LadderRung& r : rungs) {
        if (longSide(r.width, r.height) == side) rates.push_back(r.fps);
    }
    const int fps = bestUnder(rates, wish.fps);
    std::vector<int64_t> bitrates;
    for (const LadderRung& r : rungs) {
        if (longSide(r.width, r.height) == side && r.fps == fps) bitrates.push_back(r.bitrate);
    }
    const int64_t bitrate = bestUnder(bitrates, wish.bitrate);
    for (size_t i = 0; i < rungs.size(); ++i) {
        const LadderRung& r = rungs[i];
        if (longSide(r.width, r.height) == side && r.fps == fps && r.bitrate == bitrate) return i;
    }
    return 0;
}

}  // namespace tov::phonesim
