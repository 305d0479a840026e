// Reads the bits of a coded-video parameter set: fixed-width fields and Exp-Golomb numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tov::phonesim {

class BitReader {
  public:
    // `rbsp`: the payload with emulation prevention bytes already removed.
    explicit BitReader(std::string rbsp) : data_(std::move(rbsp)) {}
    // Reading past the end sets this and yields zeros.
    bool failed() const { return failed_; }

    uint32_t bit() {
        if (pos_ >= data_.size() * 8) {
            failed_ = true;
            return 0;
        }
        const uint32_t b = (static_cast<uint8_t>(data_[pos_ / 8]) >> (7 - pos_ % 8)) & 1;
        ++pos_;
        return b;
    }
    uint32_t bits(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 1) | bit();
        return v;
    }
    void skip(int n) {
        for (int i = 0; i < n; ++i) bit();
    }
    uint32_t ue() {
        int zeros = 0;
        while (bit() == 0 && !failed_) {
            if (++zeros > 31) {
                failed_ = true;
                return 0;
            }
        }
        return ((1u << zeros) - 1) + bits(zeros);
    }
    int32_t se() {
        const uint32_t v = ue();
        return (v & 1) ? static_cast<int32_t>((v + 1) / 2) : -static_cast<int32_t>(v / 2);
    }

  private:
    std::string data_;
    size_t pos_ = 0;
    bool failed_ = false;
};

// The NAL unit's payload after its header bytes, emulation prevention bytes removed.
std::string toRbsp(const std::string& nal, size_t headerBytes);

}  // namespace tov::phonesim
