// The picture size a sequence parameter set describes, after its cropping window.
#pragma once

#include <string>

namespace tov::phonesim {

// `sps` is one NAL unit, header included; false when it cannot be read.
bool readH264SpsSize(const std::string& sps, int& width, int& height);
bool readHevcSpsSize(const std::string& sps, int& width, int& height);

}  // namespace tov::phonesim
