// The simulator reads its clips' sizes with the program's own parameter-set reader.
#pragma once

#include "core/sps_size.h"

namespace tov::phonesim {

using tov::readH264SpsSize;
using tov::readHevcSpsSize;

}  // namespace tov::phonesim
