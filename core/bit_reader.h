// Reads the fields of a coded-video parameter set, most significant bit first: fixed-width
// numbers and Exp-Golomb codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace tov {

class BitReader {
  public:
    // `rbsp`: a NAL unit's payload with the emulation-prevention bytes taken out (nalPayload).
    explicit BitReader(std::string rbsp) : data_(std::move(rbsp)) {}
    // Reading past the end, or a number no valid stream holds, sets this; the read yields zeros,
    // and so does every Exp-Golomb number after it.
    bool failed() const { return failed_; }

    uint32_t bits(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 1) | bit();
        return v;
    }
    void skip(int n) {
        for (int i = 0; i < n; ++i) bit();
    }
    bool flag() { return bit() != 0; }
    uint32_t ue() {
        int zeros = 0;
        while (!failed_ && bit() == 0) {
            if (++zeros > 31) failed_ = true;
        }
        return failed_ ? 0 : ((1u << zeros) - 1) + bits(zeros);
    }
    int32_t se() {
        const uint32_t v = ue();
        return (v & 1) ? static_cast<int32_t>((v + 1) / 2) : -static_cast<int32_t>(v / 2);
    }
    // An Exp-Golomb count that must not exceed `limit` (a loop bound taken from the stream).
    uint32_t count(uint32_t limit) {
        const uint32_t v = ue();
        if (v > limit) failed_ = true;
        return failed_ ? 0 : v;
    }

  private:
    uint32_t bit() {
        if (pos_ >= data_.size() * 8) {
            failed_ = true;
            return 0;
        }
        const uint32_t b = (static_cast<uint8_t>(data_[pos_ / 8]) >> (7 - pos_ % 8)) & 1u;
        ++pos_;
        return b;
    }

    std::string data_;
    size_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace tov
