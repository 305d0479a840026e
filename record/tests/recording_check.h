// What the recording tests share: the test clips cut into pictures as a phone sends them, and
// what readers nobody here wrote make of a file: Debian's ffprobe and ffmpeg, GStreamer's
// gst-discoverer-1.0 and MediaInfo. A reader that is not installed fails the test.
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
// The time of each picture as ffmpeg reads it, in seconds, in order.
std::vector<double> pictureTimes(const std::wstring& path);
// The sound as ffmpeg decodes it: interleaved 16-bit samples from the start of the file.
std::vector<int16_t> soundSamples(const std::wstring& path);
// The first picture ffmpeg gives when asked for the one at `seconds`: its time and checksum.
struct Picture {
    double seconds = -1;
    std::string md5;
};
Picture pictureAt(const std::wstring& path, double seconds);
// Every picture's time and checksum, decoding the whole file.
std::vector<Picture> pictures(const std::wstring& path);

struct Reading {
    double seconds = -1;       // the length the reader reports, -1 when none
    double videoSeconds = -1;  // how long the pictures last, summed, when the reader tells
    bool video = false;
    bool sound = false;
};
Reading gstDiscoverer(const std::wstring& path);
Reading mediaInfo(const std::wstring& path);

}  // namespace tov::test
