#include "phone/phone_identity.h"

#include <vector>

#include "phone/output_text.h"

namespace tov {
namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[i]) != lower(prefix[i])) return false;
    }
    return true;
}

}  // namespace

const wchar_t* const kIdentityQueryArgs =
    L" shell \"getprop ro.serialno; getprop ro.product.manufacturer; getprop ro.product.model\"";

std::string wirelessId(std::string_view adbSerial) {
    if (!startsWith(adbSerial, "adb-")) return {};
    const size_t dot = adbSerial.find('.');
    if (dot == std::string_view::npos) return {};
    const size_t dash = adbSerial.rfind('-', dot);
    if (dash == std::string_view::npos || dash <= 4) return {};
    return std::string(adbSerial.substr(4, dash - 4));
}

PhoneIdentity identityFromAnswer(std::string_view answer, std::string_view adbSerial,
                                 std::string_view listedModel) {
    const std::vector<std::string_view> lines = splitLines(answer);
    std::string serialNumber(lines.size() > 0 ? lines[0] : std::string_view());
    std::string manufacturer(lines.size() > 1 ? lines[1] : std::string_view());
    std::string model(lines.size() > 2 ? lines[2] : std::string_view());
    if (serialNumber.find(' ') != std::string::npos) {
        serialNumber.clear();
        manufacturer.clear();
        model.clear();
    }

    PhoneIdentity identity;
    if (!serialNumber.empty()) {
        identity.key = serialNumber;
        identity.answered = true;
    } else {
        identity.key = wirelessId(adbSerial);
        if (identity.key.empty()) identity.key = std::string(adbSerial);
    }

    if (model.empty()) model = std::string(listedModel);
    const bool keepManufacturer = !startsWithIgnoringCase(model, manufacturer);
    if (keepManufacturer) {
        manufacturer[0] = upper(manufacturer[0]);
        identity.name = model.empty() ? manufacturer : manufacturer + " " + model;
    } else {
        identity.name = model;
    }
    if (identity.name.empty()) identity.name = identity.key;
    return identity;
}

}  // namespace tov
