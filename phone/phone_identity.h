// Who a connection belongs to: the key that stays the same over USB and Wi-Fi, and the name the
// user sees.
#pragma once

#include <string>
#include <string_view>

namespace tov {

struct PhoneIdentity {
    std::string key;
    std::string name;
    bool answered = false;  // the phone gave its serial number; otherwise the key is the serial's
};

// The arguments after the "-s SERIAL " prefix that ask the phone for its serial number,
// manufacturer and model in one shell.
extern const wchar_t* const kIdentityQueryArgs;
inline constexpr unsigned kIdentityQueryTimeoutMs = 3000;

// The id inside a wireless-debugging name "adb-<id>-<more>.<rest>"; empty when the serial has
// no such form.
std::string wirelessId(std::string_view adbSerial);

// Reads the query's three lines (serial number, manufacturer, model). An answer whose first line
// holds a space is an error message, not a serial number, and counts as no answer.
// `listedModel` is the model that "devices -l" gave for the connection.
PhoneIdentity identityFromAnswer(std::string_view answer, std::string_view adbSerial,
                                 std::string_view listedModel);

}  // namespace tov
