// What the recording tests share: the test clips cut into pictures as a phone sends them, and
// what Debian's ffprobe and ffmpeg (a reader nobody here wrote) make of a file.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "record/parameter_sets.h"

namespace tov::test {

struct AccessUnit {
    std::string bytes;
    bool key = false;
};

// A clip of tests/media.
std::string clip(const char* name);
// Cuts an Annex-B clip into pictures the way a phone's encoder hands them out: parameter sets
// travel with the key picture after them.
std::vector<AccessUnit> accessUnits(VideoCodec codec, const std::string& stream);
// The clip's first parameter sets, as the stream's video configuration carries them.
std::string parameterSets(VideoCodec codec, const std::string& stream);

// The command's standard output, and its error output too when `errors`.
std::string run(const std::string& command, bool errors = true);

struct Probe {
    std::map<std::string, std::string> video;
    std::map<std::string, std::string> sound;
};
// What ffprobe reads from the file, counting every picture it can decode.
Probe probe(const std::wstring& path);
// What ffmpeg complains of while decoding the whole file; empty for a sound file.
std::string decodeErrors(const std::wstring& path);

}  // namespace tov::test
