// The video window's handlers: shown or hidden, on top, the volume.
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

void App::onVideoClosed() {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.showVideo = false;
    }
    refresh();
}

}  // namespace tov
