#include "audio/sample_ring.h"

#include <algorithm>
#include <cstring>

#include "audio/sample_volume.h"

namespace tov {

void SampleRing::allocate(size_t capacity) {
    samples_.assign(capacity, 0);
    clear();
}

void SampleRing::clear() {
    readPos_ = 0;
    size_ = 0;
}

size_t SampleRing::push(const int16_t* in, size_t count) {
    const size_t cap = samples_.size();
    if (cap == 0 || count == 0) return count;
    size_t lost = 0;
    if (count > cap) {
        lost = count - cap;
        in += lost;
        count = cap;
    }
    if (size_ + count > cap) {
        const size_t excess = size_ + count - cap;
        drop(excess);
        lost += excess;
    }
    size_t writePos = (readPos_ + size_) % cap;
    const size_t first = std::min(count, cap - writePos);
    std::memcpy(samples_.data() + writePos, in, first * sizeof(int16_t));
    std::memcpy(samples_.data(), in + first, (count - first) * sizeof(int16_t));
    size_ += count;
    return lost;
}

void SampleRing::drop(size_t count) {
    count = std::min(count, size_);
    if (count == 0) return;
    readPos_ = (readPos_ + count) % samples_.size();
    size_ -= count;
}

void SampleRing::take(int16_t* out, size_t count, float volume) {
    count = std::min(count, size_);
    if (count == 0) return;
    const size_t first = std::min(count, samples_.size() - readPos_);
    copyWithVolume(samples_.data() + readPos_, out, first, volume);
    copyWithVolume(samples_.data(), out + first, count - first, volume);
    drop(count);
}

}  // namespace tov
