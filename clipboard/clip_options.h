// The clipboard options as the phone's helper receives them.
#pragma once

#include <string>

namespace tov {

// "phoneToPc=1\npictures=0\npasswords=0" and so on, each value "1" or "0".
std::string clipOptionsText(bool phoneToPc, bool pictures, bool passwords);

}  // namespace tov
