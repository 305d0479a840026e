#include "panel/text_field.h"

namespace tov::panel {

bool fieldAccepts(FieldKind kind, wchar_t c) {
    if (c >= L'0' && c <= L'9') return true;
    if (kind == FieldKind::Address) {
        if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')) return true;
        return c == L'.' || c == L':' || c == L'-' || c == L'_' || c == L'[' || c == L']' ||
               c == L'%';
    }
    if (c == L'.') return kind == FieldKind::Decimal || kind == FieldKind::Ratio;
    if (c == L':' || c == L'/') return kind == FieldKind::Ratio;
    return false;
}

bool FieldEdit::type(wchar_t c) {
    invalid = false;
    if (!fieldAccepts(kind, c) || text.size() >= kFieldMaxChars) return false;
    text.push_back(c);
    return true;
}

bool FieldEdit::backspace() {
    invalid = false;
    if (text.empty()) return false;
    text.pop_back();
    return true;
}

bool caretVisible(unsigned long long startMs, unsigned long long nowMs) {
    if (nowMs < startMs) return true;
    return ((nowMs - startMs) / 500) % 2 == 0;
}

}  // namespace tov::panel
