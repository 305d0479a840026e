#include "core/settings_text.h"

#include "platform/ini.h"
#include "platform/text.h"

namespace tov {
namespace {

// One line, whichever way the text goes: a hand-edited file can hold NULs and stray breaks too.
std::wstring oneLine(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n' || c == L'\0') c = L'?';
    }
    return text;
}

}  // namespace

std::string readSettingsText(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                             std::string_view def, size_t bufferUnits) {
    const std::wstring wideDefault = widen(def);
    return narrow(oneLine(ini::getString(path, section, key, wideDefault.c_str(), bufferUnits)));
}

bool writeSettingsText(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                       std::string_view value) {
    const std::wstring text = oneLine(widen(value));
    return ini::writeString(path, section, key, text.c_str());
}

}  // namespace tov
