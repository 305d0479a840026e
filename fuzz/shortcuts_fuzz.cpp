// A hand-edited shortcuts.ini of arbitrary bytes: reading it never crashes, keeps the Tovenmar
// key set, and whatever table results is written and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_support.h"
#include "input/shortcuts.h"

namespace {

tov::Shortcuts readBytes(const std::string& bytes) {
    tov::Shortcuts table = tov::shortcuts::defaults();
    FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "r");
    if (!file) return table;
    tov::shortcuts::read(file, table);
    std::fclose(file);
    return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const tov::Shortcuts table = readBytes(bytes);
    REQUIRE(table.tovenmarKey != 0);
    for (const tov::ShortcutEntry& entry : table.entries) {
        REQUIRE(!tov::shortcuts::bindingText(entry).empty());
        const int action = tov::shortcuts::match(table, entry.modifiers, entry.key);
        REQUIRE(entry.key == 0 || (action >= 0 && action < tov::kShortcutCount));
    }

    char* text = nullptr;
    size_t textSize = 0;
    FILE* out = open_memstream(&text, &textSize);
    REQUIRE(out != nullptr);
    tov::shortcuts::write(out, table);
    std::fclose(out);
    const std::string written(text, textSize);
    free(text);
    REQUIRE(readBytes(written) == table);

    // Whatever follows a line too long to read whole is not taken as a binding.
    std::string hidden(200, '#');
    hidden += "home=1,2\n";
    REQUIRE(readBytes(hidden + bytes).entries[tov::kShortcutHome] ==
            readBytes("#\n" + bytes).entries[tov::kShortcutHome]);
    return 0;
}
