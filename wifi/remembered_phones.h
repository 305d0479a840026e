// The phones connected over Wi-Fi once, kept in settings.ini's [wifiphones] section, which only
// this subsystem reads and writes:
//   [wifiphones]
//   count=2
//   key1=R58M123ABC      the phone's key
//   name1=Samsung SM-G973F
//   address1=192.168.1.20:5555   where it was connected last
//   service1=adb-R58M123ABC-AbCdEf   its name in discovery (empty when it announces none)
#pragma once

#include <string>
#include <vector>

#include "core/wifi_state.h"

namespace tov {

inline constexpr int kMaxRememberedPhones = 32;

// Phones without a key or a usable address are skipped.
std::vector<WifiRemembered> readRememberedPhones(const std::wstring& settingsPath);
// Replaces the whole section.
void writeRememberedPhones(const std::wstring& settingsPath,
                           const std::vector<WifiRemembered>& phones);

// Adds the phone, or updates the one with its key in place (an empty name or service keeps the
// one known); the oldest goes past the limit.
void rememberPhone(std::vector<WifiRemembered>& phones, const WifiRemembered& phone);

}  // namespace tov
