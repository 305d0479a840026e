// A small, lenient JSON reader for the release feed. Numbers keep their source text; object
// members are sorted by key; text after the top-level value is not examined.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace tov {

struct JsonValue {
    enum Kind : int { Null = 0, Boolean = 1, Number = 2, String = 3, Array = 4, Object = 5 };
    int kind = Null;
    bool flag = false;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    // The member with this key, or null when absent (or when this is not an object).
    const JsonValue* find(const std::string& key) const;
};

class JsonReader {
public:
    // Deeper documents fail instead of exhausting the stack.
    static constexpr int kMaxDepth = 256;

    explicit JsonReader(const std::string& text) : text_(text) {}
    // Parses one value at the current position into `out` (freshly made) and advances past it.
    bool parseValue(JsonValue& out);
    size_t position() const { return pos_; }

private:
    bool parseArray(JsonValue& out);
    bool parseObject(JsonValue& out);
    bool parseString(std::string& out);
    bool readHex4(unsigned& value);
    void skipWhitespace();
    bool atEnd() const { return pos_ >= text_.size(); }

    const std::string& text_;
    size_t pos_ = 0;
    int depth_ = 0;
};

// Convenience: parses a whole document from position 0.
bool parseJson(const std::string& text, JsonValue& out);

}  // namespace tov
