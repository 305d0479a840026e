// Saves the picture on screen: a PNG file in the user's Pictures\Tovenmar folder and the same
// picture on the clipboard, on a thread of its own so that neither the key that asked nor the
// video thread waits for the encoding.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/bitmap.h"
#include "core/job_queue.h"

namespace tov {

struct ScreenshotOptions {
    // The path of a new screenshot, its name starting with `stem`; empty when there is nowhere
    // to put one.
    std::function<std::wstring(const std::wstring& stem)> newFilePath;
    // The picture as PNG bytes; empty when it could not be encoded.
    std::function<std::string(const Bitmap& picture)> encodePng;
    // Puts the picture (and its PNG) on the clipboard; false when it could not.
    std::function<bool(const Bitmap& picture, const std::string& png)> copyToClipboard;
    // The saver's thread: a sentence for the status line; `failed` when it tells of a failure.
    std::function<void(const std::string& text, bool failed)> status;
};

class ScreenshotSaver {
  public:
    explicit ScreenshotSaver(ScreenshotOptions options) : options_(std::move(options)) {}
    ScreenshotSaver(const ScreenshotSaver&) = delete;
    ScreenshotSaver& operator=(const ScreenshotSaver&) = delete;

    // Any thread. Nothing: there was no picture on screen, and the status says so. `stem`
    // starts the file's name (the window's phone).
    void save(std::optional<Bitmap> picture, std::wstring stem = L"Tovenmar");
    // Waits for a screenshot being written; those still waiting are dropped.
    void stop() { jobs_.stop(); }

  private:
    void write(const Bitmap& picture, const std::wstring& stem);

    ScreenshotOptions options_;
    JobQueue jobs_;
};

}  // namespace tov
