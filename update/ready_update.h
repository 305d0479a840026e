// The build that a finished check left ready (ready.txt), if it still matches its signature.
#pragma once

#include <string>

#include "update/update_folder.h"

namespace tov {

// The ready version, or empty when there is none. A ready.txt that is empty, unreadable, not a
// plain version or not newer than this build is left alone; a build that no longer matches its
// signature is logged and ready.txt is deleted.
std::string findReadyUpdate(const UpdateFolder& folder, const std::string& publicKey);

}  // namespace tov
