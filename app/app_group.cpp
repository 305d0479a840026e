// The panel's operations for several phones at once: where the sound comes from, and whether the
// user's input goes to every live phone. They keep the choice; the homes of the phones follow it.
#include "app/app.h"

namespace tov {

void App::setSoundFromAll(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.soundFromAll = on;
    }
    routeSound();
    save();
    refresh();
}

void App::setEveryPhone(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.everyPhone = on;
    }
    save();
    refresh();
}

}  // namespace tov
