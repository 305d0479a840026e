// Without Windows there is no layout to ask: a US layout's names for the keys the program shows.
#include <map>

#include "input/key_tables.h"
#include "input/keyboard_layout.h"

namespace tov {

std::wstring keyName(uint16_t keyId) {
    static const std::map<uint16_t, std::wstring> names = {
        {0x01, L"Esc"},         {0x0E, L"Backspace"},     {0x0F, L"Tab"},
        {0x1C, L"Enter"},       {0x1D, L"Ctrl"},          {0x2A, L"Shift"},
        {0x36, L"Right Shift"}, {0x38, L"Alt"},           {0x39, L"Space"},
        {0x3A, L"Caps Lock"},   {0x11D, L"Right Ctrl"},   {0x138, L"Right Alt"},
        {0x147, L"Home"},       {0x148, L"Up"},           {0x149, L"Page Up"},
        {0x14B, L"Left"},       {0x14D, L"Right"},        {0x14F, L"End"},
        {0x150, L"Down"},       {0x151, L"Page Down"},    {0x152, L"Insert"},
        {0x153, L"Delete"},     {0x15B, L"Left Windows"}, {0x15C, L"Right Windows"},
    };
    static const char* rows[] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    static const uint16_t rowStarts[] = {0x02, 0x10, 0x1E, 0x2C};
    if (auto it = names.find(keyId); it != names.end()) return it->second;
    for (int r = 0; r < 4; ++r) {
        const std::string row = rows[r];
        if (keyId >= rowStarts[r] && keyId < rowStarts[r] + row.size())
            return std::wstring(1, static_cast<wchar_t>(row[keyId - rowStarts[r]]));
    }
    if (keyId >= 0x3B && keyId <= 0x44) return L"F" + std::to_wstring(keyId - 0x3A);
    return keyNameFallback(keyId);
}

unsigned shiftKeyFromScan(uint16_t keyId) {
    return (keyId & 0xFF) == 0x36 ? vk::kRShift : vk::kLShift;
}

}  // namespace tov
