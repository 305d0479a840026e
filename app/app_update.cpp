// The updater's handlers: restart, later, check now, What's new, automatic checks.
#include "app/app.h"

#include "update/version.h"

namespace tov {

void App::restartNow() {
    installOnExit_ = true;
    if (panel_) panel_->close();
}

void App::later() {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.updateLater = true;
    }
    refresh();
}

void App::checkNow() {
    updater_.checkNow();
}

void App::whatsNewRead() {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.whatsNewVersion.clear();
        model_.whatsNewNotes.clear();
        seenVersion_ = kCurrentVersion;
    }
    updater_.dropOldNotes();
    save();
    refresh();
}

void App::setAutoUpdate(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.autoUpdate = on;
    }
    updater_.setAuto(on);
    save();
    refresh();
}

}  // namespace tov
