// Wi-Fi on the Settings page: the pairing card with its QR code, and the Wi-Fi section (the
// action that opens the card, "Use over Wi-Fi" for the phone on the cable, the remembered
// phones with Forget).
#pragma once

#include <string>

#include "panel/page_layout.h"

namespace tov::panel {

// The line of help beside the QR code.
inline constexpr const wchar_t* kPairingHelp =
    L"On the phone: Developer options \u2192 Wireless debugging \u2192 Pair device with QR code, "
    L"then scan this code.";

// The card, while the model has it open; nothing otherwise.
void pairingCard(PageLayout& page);
void wifiSection(PageLayout& page);

}  // namespace tov::panel
