// The Windows pieces of the App: the video window, the panel and the clipboard.
#pragma once

#include <windows.h>

#include <memory>

#include "app/app.h"
#include "app/app_ports.h"

namespace tov {

// The show command the entry point was given, for the panel's first show.
void setShowCommand(int showCommand);

std::unique_ptr<VideoPort> makeVideoPortWin(HINSTANCE instance, VideoEvents events);
std::unique_ptr<PanelPort> makePanelPortWin(HINSTANCE instance);
std::unique_ptr<ClipboardPort> makeClipboardPortWin();
std::unique_ptr<PicturePort> makePicturePortWin();

// The parts of the product: the Windows pieces and every default.
AppParts makeAppPartsWin(HINSTANCE instance);

}  // namespace tov
