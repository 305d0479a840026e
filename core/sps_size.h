// The picture size a sequence parameter set describes, after its cropping window.
#pragma once

#include <string_view>

namespace tov {

// `sps` is one NAL unit, header included; false when it cannot be read.
bool readH264SpsSize(std::string_view sps, int& width, int& height);
bool readHevcSpsSize(std::string_view sps, int& width, int& height);

}  // namespace tov
