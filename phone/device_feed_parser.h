// Splits the output of "adb track-devices" into device lists. adb writes each list as four hex
// digits giving its length, then that many bytes in the line format of "devices -l" without the
// heading. Bytes arrive in pieces of any size; a list is handed on only once it is whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tov {

class DeviceFeedParser {
  public:
    // Adds output and appends every list it completes to `lists`, oldest first. False once the
    // output could not be read as lists (the reason is in error()); after that nothing is taken.
    bool add(std::string_view bytes, std::vector<std::string>& lists);
    const std::string& error() const { return error_; }

  private:
    bool fail(size_t at);

    std::string pending_;
    std::string error_;
};

}  // namespace tov
