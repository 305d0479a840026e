#include "app/app_parts_win.h"

namespace tov {

AppParts makeAppPartsWin(HINSTANCE instance) {
    AppParts parts;
    parts.makeVideo = [instance](VideoEvents events) {
        return makeVideoPortWin(instance, std::move(events));
    };
    parts.makePanel = [instance] { return makePanelPortWin(instance); };
    parts.makeClipboard = [] { return makeClipboardPortWin(); };
    parts.makePictures = [] { return makePicturePortWin(); };
    return parts;
}

}  // namespace tov
