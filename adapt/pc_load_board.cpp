#include "adapt/pc_load_board.h"

namespace tov {

int PcLoadBoard::join() {
    std::lock_guard<std::mutex> hold(lock_);
    const int id = next_++;
    entries_[id] = {};
    return id;
}

void PcLoadBoard::leave(int id) {
    std::lock_guard<std::mutex> hold(lock_);
    entries_.erase(id);
}

void PcLoadBoard::report(int id, double load, bool canStepDown) {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = entries_.find(id);
    if (it == entries_.end()) return;
    it->second = {load > 0 ? load : 0.0, canStepDown};
}

PcLoadBoard::Share PcLoadBoard::shareOf(int id) const {
    std::lock_guard<std::mutex> hold(lock_);
    Share share;
    const auto self = entries_.find(id);
    if (self == entries_.end()) return share;
    for (const auto& [other, e] : entries_) {
        if (other == id) continue;
        share.othersLoad += e.load;
        // A costlier stream with room below gives way instead; equal costs: the older stream.
        const bool costlier =
            e.load > self->second.load || (e.load == self->second.load && other < id);
        if (e.canStepDown && costlier) share.givesWay = false;
    }
    return share;
}

}  // namespace tov
