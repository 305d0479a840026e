// The release feed's JSON reader on arbitrary bytes: it must never crash, hang or leak, and
// whatever it accepts must be a tree whose numbers are non-empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/json.h"

namespace {
void check(const tov::JsonValue& v) {
    if (v.kind == tov::JsonValue::Number && v.text.empty()) std::abort();
    for (const auto& item : v.items) check(item);
    for (const auto& [key, member] : v.members) check(member);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    tov::JsonValue value;
    tov::JsonReader reader(text);
    if (reader.parseValue(value)) {
        check(value);
        if (reader.position() > text.size()) std::abort();
    }
    return 0;
}
