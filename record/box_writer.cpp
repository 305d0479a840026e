#include "record/box_writer.h"

namespace tov {

void BoxWriter::begin(const char* type) {
    open_.push_back(bytes_.size());
    u32(0);
    raw(std::string_view(type, 4));
}

void BoxWriter::beginFull(const char* type, uint8_t version, uint32_t flags) {
    begin(type);
    u8(version);
    u24(flags);
}

void BoxWriter::end() {
    const size_t start = open_.back();
    open_.pop_back();
    patch32(start, static_cast<uint32_t>(bytes_.size() - start));
}

void BoxWriter::unityMatrix() {
    for (uint32_t v : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u}) u32(v);
}

void BoxWriter::patch32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<char>((v >> (24 - 8 * i)) & 0xff);
}

}  // namespace tov
