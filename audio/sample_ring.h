// A fixed-size ring of 16-bit samples that keeps the newest sound when more arrives than fits.
// Not locked: its owner guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tov {

class SampleRing {
  public:
    // Allocates capacity zeroed samples and empties the ring.
    void allocate(size_t capacity);
    void clear();

    size_t capacity() const { return samples_.size(); }
    size_t size() const { return size_; }
    size_t readPos() const { return readPos_; }

    // Appends count samples. Input longer than the ring keeps only its last capacity() samples;
    // when the ring would overflow, the oldest samples are given up to make room. Returns the
    // number of samples given up or skipped.
    size_t push(const int16_t* in, size_t count);
    // Gives up the oldest count samples (at most size()).
    void drop(size_t count);
    // Moves the oldest count samples (at most size()) to out, scaled by volume.
    void take(int16_t* out, size_t count, float volume);

  private:
    std::vector<int16_t> samples_;
    size_t readPos_ = 0;
    size_t size_ = 0;
};

}  // namespace tov
