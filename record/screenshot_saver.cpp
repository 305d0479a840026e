#include "record/screenshot_saver.h"

#include <memory>

#include "core/file_name.h"
#include "core/log.h"
#include "platform/files.h"
#include "platform/text.h"

namespace tov {

void ScreenshotSaver::save(std::optional<Bitmap> picture, std::wstring stem) {
    if (!picture) {
        if (options_.status) options_.status("No picture to save yet.", true);
        return;
    }
    // Held by pointer: a picture is megabytes, and the job must be copyable.
    auto held = std::make_shared<Bitmap>(std::move(*picture));
    jobs_.post([this, held, stem = std::move(stem)] { write(*held, stem); });
}

void ScreenshotSaver::write(const Bitmap& picture, const std::wstring& stem) {
    const auto tell = [this](const std::string& text, bool failed) {
        logLine("record: %s", text.c_str());
        if (options_.status) options_.status(text, failed);
    };
    const std::wstring path = options_.newFilePath ? options_.newFilePath(stem) : std::wstring();
    if (path.empty()) {
        tell("Couldn't save the screenshot: there is no Pictures folder to put it in.", true);
        return;
    }
    const std::string png = options_.encodePng ? options_.encodePng(picture) : std::string();
    if (png.empty()) {
        tell("Couldn't save the screenshot: the picture couldn't be made into a PNG.", true);
        return;
    }
    const std::string name = fileName(path);
    if (!writeFile(path, png)) {
        deleteFile(path);  // a disk that filled up part-way leaves no broken picture behind
        tell("Couldn't save the screenshot as " + name + ".", true);
        return;
    }
    logLine("record: screenshot %ux%u in %s", picture.width, picture.height, narrow(path).c_str());
    const bool copied = options_.copyToClipboard && options_.copyToClipboard(picture, png);
    tell("Screenshot saved to Pictures\\Tovenmar\\" + name +
             (copied ? " and copied." : "; the clipboard was busy, so it isn't there."),
         false);
}

}  // namespace tov
