#include "adapt/size_ladder.h"

#include <algorithm>

namespace tov {
namespace {

double pixelRate(int width, int height, int fps) {
    return static_cast<double>(width) * height * std::max(fps, 1);
}

// Encoders take even sizes.
int scaledEven(int side, int num, int den) {
    return side * num / den / 2 * 2;
}

}  // namespace

std::string AdaptRung::name() const {
    if (!preset.empty()) return preset;
    if (width <= 0 || height <= 0) return {};  // the user's own size, whatever it is
    return std::to_string(width) + "x" + std::to_string(height) + "@" + std::to_string(fps);
}

std::vector<AdaptRung> presetLadder(const std::vector<PresetRecord>& presets,
                                    const std::string& chosen) {
    const PresetRecord* top = nullptr;
    for (const PresetRecord& p : presets) {
        if (p.name == chosen) top = &p;
    }
    if (!top) return {AdaptRung{}};
    const double topRate = pixelRate(top->width, top->height, top->fps);
    std::vector<AdaptRung> ladder{{top->width, top->height, top->fps, top->name, 1.0}};
    std::vector<AdaptRung> lower;
    for (const PresetRecord& p : presets) {
        const double rate = pixelRate(p.width, p.height, p.fps);
        if (p.name == top->name || rate >= topRate || topRate <= 0) continue;
        lower.push_back({p.width, p.height, p.fps, p.name, rate / topRate});
    }
    std::stable_sort(lower.begin(), lower.end(),
                     [](const AdaptRung& a, const AdaptRung& b) { return a.cost > b.cost; });
    ladder.insert(ladder.end(), lower.begin(), lower.end());
    return ladder;
}

std::vector<AdaptRung> sizeLadder(int width, int height, int fps) {
    fps = std::max(fps, 1);
    if (width <= 0 || height <= 0) return {AdaptRung{0, 0, fps, {}, 1.0}};
    const double top = pixelRate(width, height, fps);
    std::vector<AdaptRung> ladder{{width, height, fps, {}, 1.0}};
    const int lowFps = std::min(fps, 30);
    auto add = [&](int w, int h, int f) {
        if (w < 2 || h < 2) return;
        ladder.push_back({w, h, f, {}, pixelRate(w, h, f) / top});
    };
    if (lowFps < fps) add(width, height, lowFps);
    add(scaledEven(width, 2, 3), scaledEven(height, 2, 3), lowFps);
    add(scaledEven(width, 1, 2), scaledEven(height, 1, 2), lowFps);
    return ladder;
}

std::vector<double> rungCosts(const std::vector<AdaptRung>& ladder) {
    std::vector<double> costs;
    for (const AdaptRung& r : ladder) costs.push_back(r.cost);
    return costs;
}

int rungNamed(const std::vector<AdaptRung>& ladder, const std::string& name) {
    for (size_t i = 0; i < ladder.size(); ++i) {
        if (ladder[i].name() == name) return static_cast<int>(i);
    }
    return 0;
}

}  // namespace tov
