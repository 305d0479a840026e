// What only the keyboard layout knows: key names and which Shift key a scan code is.
#pragma once

#include <cstdint>
#include <cwchar>
#include <string>

namespace tov {

// The layout's name of a key id (GetKeyNameTextW on Windows); "Key %X" when it has none.
std::wstring keyName(uint16_t keyId);

// "Key %X" with the key id: the name of a key the layout cannot name.
inline std::wstring keyNameFallback(uint16_t keyId) {
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"Key %X", static_cast<unsigned>(keyId));
    return text;
}

// The left or right Shift virtual key for a Shift key's scan code.
unsigned shiftKeyFromScan(uint16_t keyId);

}  // namespace tov
