// The video window's handlers: shown or hidden, on top, the volume, files dropped on it and the
// screenshot; and the status line they report to.
#include "app/app.h"

namespace tov {

void App::showVideo(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.showVideo = on;
    }
    shown().video->show(on);
    refresh();
}

void App::setOnTop(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.onTop = on;
    }
    for (PhoneStream* phone : allStreams()) phone->video->setOnTop(on);
    refresh();
}

void App::setVolume(float volume) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.volume = volume;
    }
    for (PhoneStream* phone : allStreams()) phone->audio.setVolume(volume);
}

void App::takeScreenshot() {
    takeScreenshot(active());
}

void App::takeScreenshot(PhoneStream& phone) {
    phone.video->grabPicture([this, stem = userFileStem(phone)](std::optional<Bitmap> picture) {
        screenshots_.save(std::move(picture), stem);
    });
}

void App::setActivity(const std::string& text, bool failed) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.activityText = text;
        model_.activityFailed = failed;
    }
    refresh();
}

void App::onVideoClosed(PhoneStream& phone) {
    if (!isShown(phone)) return;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.showVideo = false;
    }
    refresh();
}

}  // namespace tov
