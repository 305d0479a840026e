#include "core/json.h"

#include <cstring>

namespace tov {
namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned hexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return static_cast<unsigned>(c - 'A' + 10);
}

void appendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp <= 0xFFFF) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | ((cp >> 18) & 0x07));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

const JsonValue* JsonValue::find(const std::string& key) const {
    if (kind != Object) return nullptr;
    const auto it = members.find(key);
    return it == members.end() ? nullptr : &it->second;
}

void JsonReader::skipWhitespace() {
    while (!atEnd()) {
        const char c = text_[pos_];
        if (c != ' ' && c != '\n' && c != '\r' && c != '\t') return;
        ++pos_;
    }
}

bool JsonReader::parseValue(JsonValue& out) {
    skipWhitespace();
    if (atEnd()) return false;
    const char c = text_[pos_];
    if (c == '{' || c == '[') {
        if (depth_ >= kMaxDepth) return false;
        ++depth_;
        const bool ok = c == '{' ? parseObject(out) : parseArray(out);
        --depth_;
        return ok;
    }
    if (c == '"') {
        out.kind = JsonValue::String;
        return parseString(out.text);
    }
    const size_t remaining = text_.size() - pos_;
    const char* at = text_.data() + pos_;
    if (remaining >= 4 && std::memcmp(at, "true", 4) == 0) {
        out.kind = JsonValue::Boolean;
        out.flag = true;
        pos_ += 4;
        return true;
    }
    if (remaining >= 5 && std::memcmp(at, "false", 5) == 0) {
        out.kind = JsonValue::Boolean;
        pos_ += 5;
        return true;
    }
    if (remaining >= 4 && std::memcmp(at, "null", 4) == 0) {
        pos_ += 4;
        return true;
    }
    const size_t start = pos_;
    while (!atEnd() && std::strchr("+-0123456789.eE", text_[pos_]) && text_[pos_] != '\0') ++pos_;
    if (pos_ == start) return false;
    out.kind = JsonValue::Number;
    out.text.assign(text_, start, pos_ - start);
    return true;
}

bool JsonReader::parseArray(JsonValue& out) {
    out.kind = JsonValue::Array;
    ++pos_;
    skipWhitespace();
    if (!atEnd() && text_[pos_] == ']') {
        ++pos_;
        return true;
    }
    while (true) {
        JsonValue item;
        if (!parseValue(item)) return false;
        out.items.push_back(std::move(item));
        skipWhitespace();
        if (atEnd()) return false;
        const char c = text_[pos_++];
        if (c == ']') return true;
        if (c != ',') return false;
    }
}

bool JsonReader::parseObject(JsonValue& out) {
    out.kind = JsonValue::Object;
    ++pos_;
    skipWhitespace();
    if (!atEnd() && text_[pos_] == '}') {
        ++pos_;
        return true;
    }
    while (true) {
        skipWhitespace();
        if (atEnd() || text_[pos_] != '"') return false;
        std::string key;
        if (!parseString(key)) return false;
        skipWhitespace();
        if (atEnd() || text_[pos_] != ':') return false;
        ++pos_;
        JsonValue value;
        if (!parseValue(value)) return false;
        out.members[key] = std::move(value);
        skipWhitespace();
        if (atEnd()) return false;
        const char c = text_[pos_++];
        if (c == '}') return true;
        if (c != ',') return false;
    }
}

// Reads the four bytes at the position as a hexadecimal number (the longest leading run of
// digits counts) and consumes all four. Four bytes that do not begin with a digit fail.
bool JsonReader::readHex4(unsigned& value) {
    if (text_.size() - pos_ < 4 || !isHexDigit(text_[pos_])) return false;
    value = 0;
    for (size_t k = 0; k < 4 && isHexDigit(text_[pos_ + k]); ++k) {
        value = value * 16 + hexValue(text_[pos_ + k]);
    }
    pos_ += 4;
    return true;
}

bool JsonReader::parseString(std::string& out) {
    ++pos_;
    if (atEnd()) return false;
    while (!atEnd()) {
        const char c = text_[pos_++];
        if (c == '"') return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (atEnd()) return false;
        const char e = text_[pos_++];
        switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'b':
            case 'f':
            case 'r': break;
            case 'u': {
                unsigned high = 0;
                if (!readHex4(high)) return false;
                unsigned long cp = high;
                // A high surrogate followed by "\u" and four more bytes pairs with them.
                if (high >= 0xD800 && high <= 0xDBFF && text_.size() - (pos_ - 4) >= 10 &&
                    text_[pos_] == '\\' && text_[pos_ + 1] == 'u') {
                    pos_ += 2;
                    unsigned low = 0;
                    if (!readHex4(low)) return false;
                    cp = static_cast<unsigned long>(high) * 1024 + low - 56613888UL;
                }
                appendUtf8(out, cp);
                break;
            }
            default: out += e; break;
        }
    }
    return false;
}

bool parseJson(const std::string& text, JsonValue& out) {
    JsonReader reader(text);
    return reader.parseValue(out);
}

}  // namespace tov
