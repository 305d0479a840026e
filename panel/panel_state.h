// What the panel itself remembers between paints: page, scroll, hover, press, the field being
// edited, the shortcut being captured, the open dropdown, a slider drag and full screen.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "panel/draw_list.h"
#include "panel/qr_memo.h"
#include "panel/text_field.h"

namespace tov::panel {

enum class Page { Stream = 0, Quality, Input, Window, Shortcuts, Settings };
inline constexpr int kPageCount = 6;

struct ListItem {
    std::wstring title;
    std::wstring second;
};

struct OpenDropdown {
    int owner = 0;  // the hit of the control that opened it
    std::vector<ListItem> items;
    int current = -1;  // the item that carries the check mark
    RectF anchor;      // the control's rectangle when it opened
    std::function<void(int)> choose;
    float scroll = 0;     // of the items, when they do not all fit in the window
    float maxScroll = 0;  // set by the last paint
};

struct SliderDrag {
    int hit = 0;  // 0 when no slider is being dragged
    float t = 0;
    bool reported = false;
    float lastReported = -1;
};

struct PanelState {
    Page page = Page::Stream;
    float scroll = 0;
    int hovered = 0;
    int pressed = 0;
    FieldEdit edit;
    std::optional<int> capture;  // shortcut index being captured; -1 is the Tovenmar key
    std::optional<OpenDropdown> dropdown;
    SliderDrag drag;
    bool fullScreen = false;
    bool ownRatioPicked = false;  // "Your own ratio" chosen before a ratio was typed
    float contentHeight = 0;      // of the previous paint, for the scroll clamp
    // What the pairing card's fields hold: the phone's address (typed or picked) and its code.
    std::wstring pairAddress;
    std::wstring pairCode;
    QrMemo pairingQr;  // the card's code, made once per card
};

}  // namespace tov::panel
