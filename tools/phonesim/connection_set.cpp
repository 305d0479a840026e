#include "tools/phonesim/connection_set.h"

#include <algorithm>

namespace tov::phonesim {

ConnectionSet::Guard::Guard(ConnectionSet& set, TcpSocket* socket, ConnectionInfo info)
    : set_(set), socket_(socket) {
    std::lock_guard lock(set_.mutex_);
    set_.entries_.push_back(Entry{socket, std::move(info)});
}

ConnectionSet::Guard::~Guard() {
    std::lock_guard lock(set_.mutex_);
    auto& e = set_.entries_;
    e.erase(std::remove_if(e.begin(), e.end(), [&](const Entry& x) { return x.socket == socket_; }),
            e.end());
}

int ConnectionSet::cut(const std::function<bool(const ConnectionInfo&)>& pick) {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (Entry& e : entries_) {
        if (pick(e.info)) {
            e.socket->shutdown();
            ++n;
        }
    }
    return n;
}

int ConnectionSet::count(const std::function<bool(const ConnectionInfo&)>& pick) {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                          [&](const Entry& e) { return pick(e.info); }));
}

}  // namespace tov::phonesim
