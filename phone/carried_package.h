// The phone app package this build carries: the RCDATA resource TOVENMAR_APK of the executable
// on Windows; natively the file "tovenmar.apk" beside the executable, so that both builds run
// the same installer logic on the same bytes.
#pragma once

#include <string>

namespace tov {

// The package's bytes; empty when this build carries none.
std::string loadCarriedPackage();

}  // namespace tov
