#include "clipboard/clip_options.h"

namespace tov {

std::string clipOptionsText(bool phoneToPc, bool pictures, bool passwords) {
    const auto flag = [](bool on) { return on ? "1" : "0"; };
    return std::string("phoneToPc=") + flag(phoneToPc) + "\npictures=" + flag(pictures) +
           "\npasswords=" + flag(passwords);
}

}  // namespace tov
