#include "input/group_input.h"

#include <algorithm>

namespace tov {
namespace {

// Keys and touch pointers are told apart in one set of held things.
constexpr int64_t kKeySpace = int64_t{1} << 32;

std::vector<PhonePoint> atPoint(const std::vector<std::string>& keys, float x, float y) {
    std::vector<PhonePoint> points;
    points.reserve(keys.size());
    for (const std::string& key : keys) points.push_back({key, x, y});
    return points;
}

}  // namespace

std::vector<std::string> GroupInput::recipients(const GroupView& view, bool starts, bool ends,
                                                int64_t what) {
    std::vector<std::string> keys{view.source};
    for (const GroupPhone& phone : view.phones) {
        if (phone.key == view.source || !phone.live) continue;
        const bool holds = held_.count({phone.key, what}) != 0;
        if (starts ? view.everyPhone : holds) keys.push_back(phone.key);
    }
    if (starts) {
        // A new start replaces whatever a lost release left behind.
        std::erase_if(held_, [what](const auto& h) { return h.second == what; });
        for (size_t i = 1; i < keys.size(); ++i) held_.insert({keys[i], what});
    } else if (ends) {
        std::erase_if(held_, [what](const auto& h) { return h.second == what; });
    }
    return keys;
}

std::vector<PhonePoint> GroupInput::touch(const GroupView& view, TouchAction action,
                                          uint8_t pointer, float x, float y) {
    return atPoint(recipients(view, action == TouchAction::Down, action == TouchAction::Up,
                              pointer),
                   x, y);
}

std::vector<PhonePoint> GroupInput::scroll(const GroupView& view, float x, float y) {
    std::vector<std::string> keys{view.source};
    if (view.everyPhone) {
        for (const GroupPhone& phone : view.phones) {
            if (phone.key != view.source && phone.live) keys.push_back(phone.key);
        }
    }
    return atPoint(keys, x, y);
}

std::vector<std::string> GroupInput::key(const GroupView& view, bool down, int32_t keyId) {
    const int64_t what = kKeySpace + keyId;
    // A repeated press of a held key goes where the key is held, not to phones joined since.
    const bool repeat = down && std::any_of(held_.begin(), held_.end(), [what](const auto& h) {
                            return h.second == what;
                        });
    return recipients(view, down && !repeat, !down, what);
}

}  // namespace tov
