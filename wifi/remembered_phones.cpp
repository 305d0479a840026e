#include "wifi/remembered_phones.h"

#include <algorithm>

#include "core/settings_text.h"
#include "platform/ini.h"
#include "wifi/wifi_answers.h"

namespace tov {
namespace {

constexpr const wchar_t* kSection = L"wifiphones";
constexpr size_t kTextUnits = 128;

std::string readText(const std::wstring& path, const std::wstring& key) {
    return readSettingsText(path, kSection, key.c_str(), "", kTextUnits);
}

void writeText(const std::wstring& path, const std::wstring& key, const std::string& value) {
    writeSettingsText(path, kSection, key.c_str(), value);
}

}  // namespace

std::vector<WifiRemembered> readRememberedPhones(const std::wstring& settingsPath) {
    std::vector<WifiRemembered> phones;
    const int count =
        std::clamp(ini::getInt(settingsPath, kSection, L"count", 0), 0, kMaxRememberedPhones);
    for (int i = 1; i <= count; ++i) {
        const std::wstring n = std::to_wstring(i);
        WifiRemembered phone;
        phone.key = readText(settingsPath, L"key" + n);
        phone.name = readText(settingsPath, L"name" + n);
        phone.address = readText(settingsPath, L"address" + n);
        phone.service = readText(settingsPath, L"service" + n);
        std::string host;
        int port = 0;
        if (phone.key.empty() || !splitAddress(phone.address, host, port)) continue;
        if (!phone.service.empty() && !isPlainWord(phone.service)) phone.service.clear();
        if (phone.name.empty()) phone.name = phone.key;
        rememberPhone(phones, phone);
    }
    return phones;
}

void writeRememberedPhones(const std::wstring& settingsPath,
                           const std::vector<WifiRemembered>& phones) {
    ini::writeString(settingsPath, kSection, nullptr, nullptr);
    ini::writeString(settingsPath, kSection, L"count", std::to_wstring(phones.size()).c_str());
    for (size_t i = 0; i < phones.size(); ++i) {
        const std::wstring n = std::to_wstring(i + 1);
        const WifiRemembered& p = phones[i];
        writeText(settingsPath, L"key" + n, p.key);
        writeText(settingsPath, L"name" + n, p.name);
        writeText(settingsPath, L"address" + n, p.address);
        writeText(settingsPath, L"service" + n, p.service);
    }
}

void rememberPhone(std::vector<WifiRemembered>& phones, const WifiRemembered& phone) {
    auto same = std::find_if(phones.begin(), phones.end(),
                             [&](const WifiRemembered& p) { return p.key == phone.key; });
    if (same != phones.end()) {
        // What this connection did not learn stays as it was known.
        const WifiRemembered before = *same;
        *same = phone;
        if (same->service.empty()) same->service = before.service;
        if (same->name.empty()) same->name = before.name;
        return;
    }
    phones.push_back(phone);
    if (phones.back().name.empty()) phones.back().name = phone.key;
    if (phones.size() > static_cast<size_t>(kMaxRememberedPhones)) phones.erase(phones.begin());
}

}  // namespace tov
