#include "tools/phonesim/link_control.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tools/phonesim/simulator.h"

namespace tov::phonesim {
namespace {

constexpr const char* kUsage = "usage: link PHONE rate=MBPS [delay=MS] | link PHONE free | link PHONE";

std::string mbpsText(int64_t bitsPerSecond) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(bitsPerSecond) / 1e6);
    return text;
}

bool parseShape(const std::vector<std::string>& w, LinkShape& shape) {
    if (w.size() == 3 && w[2] == "free") {
        shape = {};
        return true;
    }
    bool haveRate = false;
    for (size_t i = 2; i < w.size(); ++i) {
        const size_t eq = w[i].find('=');
        const std::string key = w[i].substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : w[i].substr(eq + 1);
        if (key == "rate" && parseMbps(value, shape.rateBps)) {
            haveRate = true;
        } else if (key == "delay" && !value.empty()) {
            char* end = nullptr;
            const long ms = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || ms < 0 || ms > 60000) return false;
            shape.delayUs = int64_t{ms} * 1000;
        } else {
            return false;
        }
    }
    return haveRate;
}

}  // namespace

int linkControl(Simulator& sim, const std::vector<std::string>& w, CommandChannel& out) {
    std::lock_guard lock(sim.mutex);
    auto p = w.size() >= 2 ? sim.find(w[1]) : nullptr;
    if (!p) {
        out.write(w.size() >= 2 ? "error: no phone " + w[1] + "\n" : std::string("error: ") + kUsage + "\n");
        return 1;
    }
    std::erase_if(p->streamLinks, [](const auto& l) { return l.expired(); });
    if (w.size() == 2) {
        LinkBacklog total;
        for (const auto& weak : p->streamLinks) {
            if (auto link = weak.lock()) {
                const LinkBacklog b = link->backlog();
                total.queuedBytes += b.queuedBytes;
                total.deliveredBytes += b.deliveredBytes;
                total.oldestWaitUs = std::max(total.oldestWaitUs, b.oldestWaitUs);
            }
        }
        out.write("rate=" + mbpsText(p->link.rateBps) + "\ndelay=" +
                  std::to_string(p->link.delayUs / 1000) + "\nqueued=" +
                  std::to_string(total.queuedBytes) + "\nwait=" +
                  std::to_string(total.oldestWaitUs / 1000) + "\ndelivered=" +
                  std::to_string(total.deliveredBytes) + "\n");
        return 0;
    }
    LinkShape shape;
    if (!parseShape(w, shape)) {
        out.write(std::string("error: ") + kUsage + "\n");
        return 1;
    }
    p->link = shape;
    for (const auto& weak : p->streamLinks) {
        if (auto link = weak.lock()) link->setShape(shape);
    }
    return 0;
}

}  // namespace tov::phonesim
