// Release notes from the feed on arbitrary bytes: the plain text never ends in a line break,
// never keeps "**" emphasis, keeps one output line per input line (less trailing empty ones), and
// keeps valid UTF-8 valid.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/text.h"
#include "update/release_notes.h"

namespace {

bool validUtf8(const std::string& text) {
    return tov::narrow(tov::widen(text)) == text;
}

size_t countLines(const std::string& text) {
    size_t lines = 1;
    for (char c : text) lines += c == '\n';
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    const std::string plain = tov::simplifyReleaseNotes(body);
    REQUIRE(plain.empty() || plain.back() != '\n');
    REQUIRE(plain.find("**") == std::string::npos);
    REQUIRE(countLines(plain) <= countLines(body));
    size_t lineStart = 0;
    while (lineStart < plain.size()) {
        REQUIRE(plain[lineStart] != ' ');
        const size_t end = plain.find('\n', lineStart);
        if (end == std::string::npos) break;
        lineStart = end + 1;
    }
    if (validUtf8(body)) REQUIRE(validUtf8(plain));
    return 0;
}
