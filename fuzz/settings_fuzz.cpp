// A hand-edited settings.ini of arbitrary bytes: loading must never crash, every value must land
// in its range, and the stream options built from the result (with presets from the same bytes)
// must stay well formed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/phone_settings.h"
#include "core/settings_file.h"
#include "core/stream_options.h"
#include "fuzz_support.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

// A settings text: one line of UTF-8 that survives the trip to UTF-16 and back, at most
// `maxUnits` UTF-16 units long.
bool settingsText(const std::string& text, size_t maxUnits) {
    if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
    const std::u16string units = tov::utf8ToUtf16(text);
    return units.size() <= maxUnits && tov::utf16ToUtf8(units) == text;
}

bool wholeNumber(const std::string& text) {
    if (text.empty()) return false;
    char* end = nullptr;
    std::strtoll(text.c_str(), &end, 10);
    return end == text.c_str() + text.size();
}

const std::wstring& scratchFile() {
    static const std::wstring path = tov::fuzz::scratchFile("settings-fuzz");
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    tov::writeFile(scratchFile(), bytes);

    tov::PanelModel m;
    tov::SettingsExtras extras;
    tov::readSettings(scratchFile(), m, extras);
    REQUIRE(m.speed >= 0.25f && m.speed <= 4.0f);
    REQUIRE(m.bitrate >= 500000 && m.bitrate <= 2000000000);
    REQUIRE(m.customWidth >= 0 && m.customWidth <= 8192);
    REQUIRE(m.customHeight >= 0 && m.customHeight <= 8192);
    REQUIRE(m.fps >= 1 && m.fps <= 240);
    REQUIRE(m.mbps >= 1 && m.mbps <= 2000);
    REQUIRE(m.fit >= 0 && m.fit <= 2);
    REQUIRE(m.aspect >= 0 && m.aspect <= 5);
    REQUIRE(m.aspect != 5 || tov::parseTypedRatio(m.ratio) > 0);
    REQUIRE(settingsText(m.preset, 31) && settingsText(m.codecChoice, 31) &&
            settingsText(m.keyframe, 31));
    REQUIRE(settingsText(m.encoder, 127) && settingsText(m.pinned, 127) &&
            settingsText(m.pinnedName, 127));
    REQUIRE(settingsText(extras.lastPhone, 127) && settingsText(extras.seenVersion, 31));

    // A phone's own section, under a key made of the file's first line: its values land in
    // range, and whatever it holds survives being kept and read back under that key.
    const std::string phoneKey = bytes.substr(0, std::min(bytes.find('\n'), size_t{64}));
    const tov::PhoneSettings own =
        tov::readPhoneSettings(scratchFile(), phoneKey, tov::generalPhoneSettings(m));
    REQUIRE(own.bitrate >= 500000 && own.bitrate <= 2000000000);
    REQUIRE(!own.window.placed || (own.window.width > 0 && own.window.height > 0));
    REQUIRE(settingsText(own.preset, 31) && settingsText(own.codecChoice, 31) &&
            settingsText(own.encoder, 127));
    tov::writePhoneSettings(scratchFile(), phoneKey, own);
    bool known = false;
    const tov::PhoneSettings back = tov::readPhoneSettings(scratchFile(), phoneKey, {}, &known);
    // Only an empty key, or one whose name sixteen others took, is not kept. (Texts are not
    // compared: the file's rule unwraps a quoted value each time it is read.)
    REQUIRE(known || phoneKey.empty() || bytes.find("~16") != std::string::npos);
    if (known) {
        REQUIRE(back.bitrate == own.bitrate && back.deviceMode == own.deviceMode &&
                back.window == own.window);
    }

    const double ratio = tov::parseTypedRatio(bytes);
    REQUIRE(ratio == 0 || (ratio >= 1 && ratio <= 10));

    // The same bytes as the phone's preset list, in both modes.
    m.linkState = tov::LinkState::Live;  // keeps the presets set here
    m.presets = tov::parsePresets(bytes);
    for (bool noApp : {false, true}) {
        m.noApp = noApp;
        const tov::StreamOptionMap options = tov::buildStreamOptions(m, tov::PhoneInfo{});
        REQUIRE(wholeNumber(options.at("width")) && wholeNumber(options.at("height")));
        REQUIRE(wholeNumber(options.at("fps")) && wholeNumber(options.at("bitrate")));
        const double shape = std::strtod(options.at("shape").c_str(), nullptr);
        REQUIRE(shape == 0 || shape >= 1);
    }
    return 0;
}
