// The video window's handlers: shown or hidden, on top, the volume, files dropped on it and the
// screenshot; and the status line they report to.
#include "app/app.h"

namespace tov {

void App::showVideo(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.showVideo = on;
    }
    video_->show(on);
    refresh();
}

void App::setOnTop(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.onTop = on;
    }
    video_->setOnTop(on);
    refresh();
}

void App::setVolume(float volume) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.volume = volume;
    }
    audio_.setVolume(volume);
}

void App::onFilesDropped(const std::vector<std::wstring>& paths) {
    fileSender_.send(phoneMonitor_.choice().serial, paths);
}

void App::takeScreenshot() {
    video_->grabPicture(
        [this](std::optional<Bitmap> picture) { screenshots_.save(std::move(picture)); });
}

void App::setActivity(const std::string& text, bool failed) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.activityText = text;
        model_.activityFailed = failed;
    }
    refresh();
}

void App::onVideoClosed() {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.showVideo = false;
    }
    refresh();
}

}  // namespace tov
