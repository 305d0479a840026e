// The rules of the panel's text fields: which characters each field takes and how long it gets.
#pragma once

#include <string>

namespace tov::panel {

enum class FieldKind {
    Whole,    // digits only
    Decimal,  // digits and "."
    Ratio,    // digits, ".", ":" and "/"
    Address,  // a network address and port: letters, digits, ".", ":", "-", "_", "[", "]", "%"
};

inline constexpr size_t kFieldMaxChars = 40;

bool fieldAccepts(FieldKind kind, wchar_t c);

// The typing state of the field being edited.
struct FieldEdit {
    int hit = 0;  // 0 when no field is being edited
    FieldKind kind = FieldKind::Whole;
    std::wstring text;
    bool invalid = false;            // the last commit was refused; any keystroke clears it
    unsigned long long startMs = 0;  // the caret blinks from here

    bool active() const { return hit != 0; }
    // A typed character: accepted ones are appended up to the limit. True when the text changed.
    bool type(wchar_t c);
    bool backspace();
};

// The caret shows for 500 ms, then hides for 500 ms.
bool caretVisible(unsigned long long startMs, unsigned long long nowMs);

}  // namespace tov::panel
