// A QR code encoder (ISO/IEC 18004): text in byte mode at error correction level M, in the
// smallest of versions 1 to 40 that holds it, with the mask the standard's penalty rules choose.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tov {

// The module matrix of one symbol, without its quiet zone. Empty when nothing was encoded.
struct QrSymbol {
    int version = 0;               // 1 to 40; 0 when empty
    int size = 0;                  // modules a side: 17 + 4 × version
    int mask = -1;                 // 0 to 7
    std::vector<uint8_t> modules;  // row by row, 1 dark and 0 light

    bool empty() const { return size == 0; }
    bool operator==(const QrSymbol&) const = default;
    bool dark(int x, int y) const { return modules[static_cast<size_t>(y) * size + x] != 0; }
};

// The light modules the standard asks for around a symbol.
constexpr int kQrQuietZone = 4;

// The symbol for the bytes of `text` (UTF-8 text is stored as its bytes). Empty when the text
// does not fit the largest version up to maxVersion (at most 40).
QrSymbol encodeQr(std::string_view text, int maxVersion = 40);

// How many bytes a version holds at level M; 0 outside 1 to 40.
int qrByteCapacity(int version);

}  // namespace tov
