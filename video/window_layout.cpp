#include "video/window_layout.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

namespace tov {
namespace {

constexpr int32_t kGap = 8;
// Each try shrinks the windows by this factor; small enough that no size that fits is missed by
// much, few enough steps (about a hundred down to the smallest) to be instant.
constexpr double kShrinkStep = 0.98;

bool overlaps(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Whether `r` comes closer than the gap to `other`.
bool crowds(const Rect& r, const Rect& other) {
    return overlaps(r,
                    {other.left - kGap, other.top - kGap, other.right + kGap, other.bottom + kGap});
}

bool isEmpty(const Rect& r) {
    return r.width() <= 0 || r.height() <= 0;
}

Rect intersection(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// `r` moved (and, when larger, cut) so that it lies inside `work`.
Rect pulledInside(Rect r, const Rect& work) {
    const int32_t w = std::min(r.width(), work.width());
    const int32_t h = std::min(r.height(), work.height());
    const int32_t left = std::clamp(r.left, work.left, work.right - w);
    const int32_t top = std::clamp(r.top, work.top, work.bottom - h);
    return {left, top, left + w, top + h};
}

Size shapeOf(Size picture) {
    if (picture.width <= 0 || picture.height <= 0) return {9, 16};
    return picture;
}

// The largest client area of the picture's shape inside `box`, at least 1 x 1.
Size fitInside(Size picture, double boxWidth, double boxHeight) {
    const double scale = std::min(boxWidth / picture.width, boxHeight / picture.height);
    return {std::max<int32_t>(1, static_cast<int32_t>(scale * picture.width)),
            std::max<int32_t>(1, static_cast<int32_t>(scale * picture.height))};
}

// One window the layout places: its picture's shape, the client size it would have alone on
// this work area, and its smallest client size.
struct Placeable {
    size_t index = 0;
    Size picture;
    Size preferred;
    Size least;
};

class Layouter {
  public:
    explicit Layouter(const LayoutRequest& request) : request_(request) {
        work_ = request.work;
        // Nothing can be placed in an empty work area; a pixel keeps every size positive.
        if (work_.width() <= 0) work_.right = work_.left + 1;
        if (work_.height() <= 0) work_.bottom = work_.top + 1;
        frame_ = {std::clamp(request.frame.width, 0, work_.width() - 1),
                  std::clamp(request.frame.height, 0, work_.height() - 1)};
    }

    WindowLayout run() {
        WindowLayout out;
        out.panel = request_.panel;
        out.phones.resize(request_.phones.size());
        for (size_t i = 0; i < request_.phones.size(); ++i) {
            const PhoneWindowWish& wish = request_.phones[i];
            if (wish.userRect) {
                out.phones[i] = userWindow(shapeOf(wish.picture), *wish.userRect);
                fixed_.push_back(out.phones[i]);
            } else {
                placeables_.push_back(placeable(i, shapeOf(wish.picture)));
            }
        }
        if (placeables_.empty()) return out;

        const Rect here = intersection(request_.panel, work_);
        double scale = 0;
        std::vector<Rect> placed = tile(here, scale);
        Rect panelAt = here;
        const bool movable = !isEmpty(here) && !request_.panelUserPlaced;
        if (scale < 1 && movable) {
            const Rect aside = panelAside();
            double asideScale = 0;
            std::vector<Rect> asidePlaced = tile(aside, asideScale);
            if (asideScale > scale) {
                scale = asideScale;
                placed = std::move(asidePlaced);
                panelAt = aside;
                out.panel = aside;
            }
        }
        if (scale <= 0) {
            if (movable) {
                const Rect aside = panelAside();
                if (sideRoom(aside) > sideRoom(here)) {
                    panelAt = aside;
                    out.panel = aside;
                }
            }
            placed = overlapping(panelAt);
        }
        for (size_t k = 0; k < placeables_.size(); ++k) {
            out.phones[placeables_[k].index] = pulledInside(placed[k], work_);
        }
        return out;
    }

  private:
    // The panel at the work area's left edge, its sidebar at the screen's edge.
    Rect panelAside() const {
        const Rect& p = request_.panel;
        return pulledInside({work_.left, p.top, work_.left + p.width(), p.bottom}, work_);
    }

    // The width of the wider room beside the panel.
    int32_t sideRoom(const Rect& panel) const {
        return std::max(panel.left - kGap - work_.left, work_.right - panel.right - kGap);
    }

    Placeable placeable(size_t index, Size picture) const {
        Placeable p;
        p.index = index;
        p.picture = picture;
        const Size room{work_.width(), work_.height()};
        const Size shape = shapeClientSize(picture, room);
        p.preferred = shape.width > 0 && shape.height > 0 ? shape : Size{1, 1};
        const Size least = minimumWindowSize(picture, request_.minimum);
        // The smallest window: the picture's shape around the least client area, but never
        // larger than the work area.
        const double leastWidth =
            std::max<int32_t>(1, std::min(least.width, work_.width()) - frame_.width);
        const double leastHeight =
            std::max<int32_t>(1, std::min(least.height, work_.height()) - frame_.height);
        const double grow = std::max(leastWidth / picture.width, leastHeight / picture.height);
        p.least = fitInside(picture, grow * picture.width, grow * picture.height);
        return p;
    }

    Rect windowOf(Size client, int32_t left, int32_t top) const {
        return {left, top, left + client.width + frame_.width, top + client.height + frame_.height};
    }

    // The client size at `scale` of the preferred one, never below the least or beyond the work
    // area.
    Size clientAt(const Placeable& p, double scale) const {
        // At full scale the preferred size itself, which a refit could round a pixel smaller.
        Size c = scale >= 1
                     ? p.preferred
                     : fitInside(p.picture, p.preferred.width * scale, p.preferred.height * scale);
        if (c.width < p.least.width || c.height < p.least.height) c = p.least;
        const int32_t maxWidth = std::max(1, work_.width() - frame_.width);
        const int32_t maxHeight = std::max(1, work_.height() - frame_.height);
        if (c.width > maxWidth || c.height > maxHeight)
            c = fitInside(p.picture, maxWidth, maxHeight);
        return c;
    }

    // A user's window where they put it; turned at its corner when its phone turned since, and
    // pulled into the work area.
    Rect userWindow(Size picture, Rect r) const {
        const Size client{std::max(1, r.width() - frame_.width),
                          std::max(1, r.height() - frame_.height)};
        if ((client.width < client.height) != (picture.width < picture.height)) {
            const double longSide = std::max(client.width, client.height);
            r = windowOf(fitInside(picture, longSide, longSide), r.left, r.top);
        }
        if (r.width() > work_.width() || r.height() > work_.height()) {
            r = windowOf(fitInside(picture, std::max(1, work_.width() - frame_.width),
                                   std::max(1, work_.height() - frame_.height)),
                         r.left, r.top);
        }
        return pulledInside(r, work_);
    }

    // The windows shrunk alike from their preferred size until they all fit beside `panel` and
    // the user's windows; `scale` is what they got, 0 when even the smallest do not fit.
    std::vector<Rect> tile(const Rect& panel, double& scale) const {
        std::vector<Rect> placed;
        for (double s = 1.0;; s *= kShrinkStep) {
            if (pack(panel, s, placed)) {
                scale = s;
                return placed;
            }
            bool allLeast = true;
            for (const Placeable& p : placeables_) {
                const Size c = clientAt(p, s);
                allLeast = allLeast && c == clientAt(p, 0);
            }
            if (allLeast) break;
        }
        scale = 0;
        return {};
    }

    // Places every window at `scale`, each at the free spot nearest the panel (then the highest,
    // then the rightmost: a single phone opens on the panel's right as it always has); false
    // when one finds no spot.
    bool pack(const Rect& panel, double scale, std::vector<Rect>& placed) const {
        placed.clear();
        std::vector<Rect> taken = fixed_;
        if (!isEmpty(panel)) taken.push_back(panel);
        for (const Placeable& p : placeables_) {
            const Size c = clientAt(p, scale);
            const int32_t w = c.width + frame_.width;
            const int32_t h = c.height + frame_.height;
            std::vector<int32_t> xs{work_.left, work_.right - w};
            std::vector<int32_t> ys{work_.top, work_.bottom - h};
            for (const Rect& t : taken) {
                xs.insert(xs.end(), {t.right + kGap, t.left - kGap - w, t.left});
                ys.insert(ys.end(), {t.bottom + kGap, t.top - kGap - h, t.top});
            }
            bool found = false;
            Rect best;
            int64_t bestScore = std::numeric_limits<int64_t>::max();
            for (const int32_t x : xs) {
                if (x < work_.left || x + w > work_.right) continue;
                for (const int32_t y : ys) {
                    if (y < work_.top || y + h > work_.bottom) continue;
                    const Rect r{x, y, x + w, y + h};
                    if (std::any_of(taken.begin(), taken.end(),
                                    [&](const Rect& t) { return crowds(r, t); })) {
                        continue;
                    }
                    const int64_t score =
                        distance(r, panel) * (int64_t{1} << 40) + int64_t{y} * (1 << 20) - x;
                    if (score < bestScore) {
                        bestScore = score;
                        best = r;
                        found = true;
                    }
                }
            }
            if (!found) return false;
            placed.push_back(best);
            taken.push_back(best);
        }
        centre(panel, placed);
        return true;
    }

    // How far `r` is from the panel; with no panel, from the work area's left edge.
    int64_t distance(const Rect& r, const Rect& panel) const {
        if (isEmpty(panel)) return r.left - work_.left;
        const int64_t dx = std::max({0, panel.left - r.right, r.left - panel.right});
        const int64_t dy = std::max({0, panel.top - r.bottom, r.top - panel.bottom});
        return dx + dy;
    }

    // Packing fills from the top; the group of windows is centred on the work area's height
    // (and, with no panel, its width) when nothing is in the way there.
    void centre(const Rect& panel, std::vector<Rect>& placed) const {
        Rect box = placed.front();
        for (const Rect& r : placed) {
            box = {std::min(box.left, r.left), std::min(box.top, r.top),
                   std::max(box.right, r.right), std::max(box.bottom, r.bottom)};
        }
        std::vector<Rect> taken = fixed_;
        if (!isEmpty(panel)) taken.push_back(panel);
        const int32_t dy = (work_.top + work_.bottom - box.top - box.bottom) / 2;
        const int32_t dx =
            isEmpty(panel) ? (work_.left + work_.right - box.left - box.right) / 2 : 0;
        for (const auto& [mx, my] : {std::pair{dx, dy}, std::pair{0, dy}}) {
            bool clear = true;
            for (const Rect& r : placed) {
                const Rect moved{r.left + mx, r.top + my, r.right + mx, r.bottom + my};
                clear = clear && std::none_of(taken.begin(), taken.end(),
                                              [&](const Rect& t) { return crowds(moved, t); });
            }
            if (clear) {
                for (Rect& r : placed) r = {r.left + mx, r.top + my, r.right + mx, r.bottom + my};
                return;
            }
        }
    }

    // Not even the smallest windows fit apart: they overlap each other, cascaded so that each
    // one's caption shows, across the widest room beside the panel; when that room is too
    // narrow even for one, they take their smallest size at the work area's right edge, over as
    // little of the panel as they can (its sidebar stays clear longest).
    std::vector<Rect> overlapping(const Rect& panel) const {
        int32_t widest = 0;
        for (const Placeable& p : placeables_) {
            widest = std::max(widest, clientAt(p, 0).width + frame_.width);
        }
        Rect band = work_;
        bool overPanel = false;
        if (!isEmpty(panel)) {
            const Rect left{work_.left, work_.top, panel.left - kGap, work_.bottom};
            const Rect right{panel.right + kGap, work_.top, work_.right, work_.bottom};
            const Rect& wider = right.width() >= left.width() ? right : left;
            if (wider.width() >= widest) {
                band = wider;
            } else {
                overPanel = true;  // as little of it as can be: the smallest windows
            }
        }
        std::vector<Rect> placed;
        const auto n = static_cast<int32_t>(placeables_.size());
        const int32_t step = std::min(std::max(frame_.height, 1), band.height() / (n + 1));
        for (int32_t k = 0; k < n; ++k) {
            const Placeable& p = placeables_[k];
            // As large as the band allows, down to the smallest.
            Size c = fitInside(p.picture, std::max(1, band.width() - frame_.width),
                               std::max(1, band.height() - frame_.height - (n - 1) * step));
            c = fitInside(p.picture, std::min(c.width, p.preferred.width),
                          std::min(c.height, p.preferred.height));
            if (overPanel || c.width < p.least.width || c.height < p.least.height) c = p.least;
            const int32_t w = c.width + frame_.width;
            const int32_t h = c.height + frame_.height;
            const int32_t spread = std::max(0, band.width() - w);
            const int32_t x = band.right - w - (n > 1 ? spread * (n - 1 - k) / (n - 1) : 0);
            const int32_t y =
                band.top + std::max(0, band.height() - h - (n - 1) * step) / 2 + k * step;
            placed.push_back(windowOf(c, x, y));
        }
        return placed;
    }

    const LayoutRequest& request_;
    Rect work_;
    Size frame_;
    std::vector<Rect> fixed_;
    std::vector<Placeable> placeables_;
};

}  // namespace

Size minimumWindowSize(Size picture, Size minimum) {
    if (picture.width > 0 && picture.width < picture.height) return {minimum.height, minimum.width};
    return minimum;
}

WindowLayout layoutWindows(const LayoutRequest& request) {
    return Layouter(request).run();
}

}  // namespace tov
