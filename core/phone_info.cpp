#include "core/phone_info.h"

#include <algorithm>

namespace tov {

bool PhoneInfo::hasCodec(const std::string& codec) const {
    return std::find(codecs.begin(), codecs.end(), codec) != codecs.end();
}

const PhoneInfo::Encoder* PhoneInfo::encoderFor(const std::string& codec,
                                                const std::string& name) const {
    for (const Encoder& e : encoders) {
        if (e.codec == codec && e.name == name) return &e;
    }
    const auto d = defaults.find(codec);
    if (d == defaults.end()) return nullptr;
    const Encoder* last = nullptr;
    for (const Encoder& e : encoders) {
        if (e.codec == codec && e.name == d->second) last = &e;
    }
    return last;
}

}  // namespace tov
