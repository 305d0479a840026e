// Key/value messages from the phone on arbitrary bytes: every pair read must be one that can
// travel, writing the map and reading it again must give the same map, and a line's value must
// be everything after its first "=".
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "session/text_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const tov::TextMap map = tov::readTextMap(text);
    size_t lines = 1;
    for (char c : text) lines += c == '\n';
    REQUIRE(map.size() <= lines);
    for (const auto& [key, value] : map) {
        REQUIRE(tov::travelsInTextMap(key, value));
        // The pair's line stands in the input as "key=value" at a line start.
        const std::string line = "\n" + key + "=" + value;
        REQUIRE(("\n" + text).find(line) != std::string::npos);
    }
    const std::string written = tov::writeTextMap(map);
    REQUIRE(tov::readTextMap(written) == map);

    // A map built from the bytes as keys and values: only pairs that travel survive the trip.
    tov::TextMap built;
    const size_t half = size / 2;
    built[text.substr(0, half)] = text.substr(half);
    built["k"] = text;
    const tov::TextMap back = tov::readTextMap(tov::writeTextMap(built));
    for (const auto& [key, value] : built) {
        const auto it = back.find(key);
        if (tov::travelsInTextMap(key, value)) {
            REQUIRE(it != back.end() && it->second == value);
        }
    }
    for (const auto& [key, value] : back) {
        const auto it = built.find(key);
        REQUIRE(it != built.end() && it->second == value);
    }
    return 0;
}
