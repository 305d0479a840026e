// The release notes kept in the update folder, for the What's new notice after an update.
#pragma once

#include <string>

#include "update/update_folder.h"

namespace tov {

// Notes of the versions after `previousVersion` up to this build, newest first. One version
// gives its text alone; more give "Version <v>\n<text>" blocks separated by blank lines.
std::string whatsNewText(const UpdateFolder& folder, const std::string& previousVersion);

// Deletes the notes of this build and of every older version.
void dropOldNotes(const UpdateFolder& folder);

}  // namespace tov
