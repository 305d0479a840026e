// Builds ISO base media (MP4) boxes into a byte buffer: big-endian numbers and nested boxes whose
// sizes are filled in when they close.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tov {

class BoxWriter {
  public:
    void u8(uint32_t v) { bytes_.push_back(static_cast<char>(v & 0xff)); }
    void u16(uint32_t v) {
        u8(v >> 8);
        u8(v);
    }
    void u24(uint32_t v) {
        u8(v >> 16);
        u16(v);
    }
    void u32(uint32_t v) {
        u16(v >> 16);
        u16(v);
    }
    void u64(uint64_t v) {
        u32(static_cast<uint32_t>(v >> 32));
        u32(static_cast<uint32_t>(v));
    }
    void zeros(size_t count) { bytes_.append(count, '\0'); }
    void raw(std::string_view data) { bytes_.append(data); }
    // Opens a box of the four-character type; boxes nest.
    void begin(const char* type);
    // A full box: version and 24 bits of flags after the type.
    void beginFull(const char* type, uint8_t version, uint32_t flags);
    void end();
    // The 3x3 unity matrix of movie and track headers.
    void unityMatrix();

    size_t size() const { return bytes_.size(); }
    // Overwrites a 32-bit number already written at `at`.
    void patch32(size_t at, uint32_t v);
    const std::string& bytes() const { return bytes_; }
    std::string take() { return std::move(bytes_); }

  private:
    std::string bytes_;
    std::vector<size_t> open_;
};

}  // namespace tov
