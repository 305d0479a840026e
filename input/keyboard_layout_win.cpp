#include <windows.h>

#include "input/keyboard_layout.h"

namespace tov {

std::wstring keyName(uint16_t keyId) {
    wchar_t buffer[64] = {};
    const int n = GetKeyNameTextW(static_cast<LONG>(keyId) << 16, buffer, 64);
    if (n > 0) return std::wstring(buffer, static_cast<size_t>(n));
    return keyNameFallback(keyId);
}

unsigned shiftKeyFromScan(uint16_t keyId) {
    return MapVirtualKeyW(keyId & 0xFF, MAPVK_VSC_TO_VK_EX);
}

}  // namespace tov
