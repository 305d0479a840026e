// The Settings page's list of the phones streamed at once: each listed phone with its stream's
// state, Show (the pages show that phone) and its own Start or Stop, and Start all.
#pragma once

#include "panel/page_layout.h"

namespace tov::panel {

// Drawn while two or more phones are listed; nothing otherwise.
void phoneStreamsSection(PageLayout& page);

}  // namespace tov::panel
