// The phone's storage as adb reaches it: pushes (arriving at once, or piece by piece over a slow
// link that may stall), the shell's ls and stat of its files, and files a scenario puts there.
#pragma once

#include <string>
#include <vector>

namespace tov::phonesim {

class Simulator;
class CommandChannel;

// adb push LOCAL REMOTE, REMOTE a full path; `data` is the local file's bytes. On a slow link
// (pushPiece) the file grows by a piece each time the phone is asked its size and the push
// answers once all of it is there; a stalling one (pushStall) never does. A push whose adb is
// killed leaves nothing behind, as adbd removes a file it could not finish.
int pushFile(Simulator& sim, const std::string& phoneId, const std::string& local,
             const std::string& remote, const std::string& data, CommandChannel& out);

// The storage commands of the phone's shell: "ls [-1aA] PATH...", "stat -c %s PATH...",
// "mv [-n] FROM TO", "rm [-f] PATH...". The exit code, or -1 when `words` is another command.
// Shared storage (/sdcard) ignores case in names, accented and other letters too, as the phone's
// does; the rest of the phone does not.
int storageCommand(Simulator& sim, const std::string& phoneId,
                   const std::vector<std::string>& words, CommandChannel& out);

// Control: putfile PHONE PATH TEXT|@FILE, a file the phone holds already.
int putFile(Simulator& sim, const std::vector<std::string>& words, CommandChannel& out);

}  // namespace tov::phonesim
