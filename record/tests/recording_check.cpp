#include "record/tests/recording_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "core/annex_b.h"
#include "core/json.h"
#include "platform/files.h"
#include "platform/text.h"

namespace tov::test {

std::string clip(const char* name) {
    std::string data;
    EXPECT_TRUE(readFile(widen(std::string(TOV_TEST_MEDIA_DIR) + "/" + name), data)) << name;
    return data;
}

std::vector<AccessUnit> accessUnits(VideoCodec codec, const std::string& stream) {
    const bool h264 = codec == VideoCodec::H264;
    std::vector<AccessUnit> out;
    std::string pending;  // parameter sets and the like, for the next picture
    for (std::string_view nal : splitAnnexB(stream)) {
        const int type = nalType(!h264, nal);
        const bool slice = h264 ? (type == 1 || type == 5) : type <= 21;
        std::string unit = std::string("\0\0\0\1", 4) + std::string(nal);
        if (!slice) {
            pending += unit;
            continue;
        }
        // The first slice of a picture: first_mb_in_slice 0, or HEVC's first-segment flag.
        if (static_cast<uint8_t>(nal[h264 ? 1 : 2]) & 0x80) {
            out.push_back({pending, h264 ? type == 5 : type >= 16});
            pending.clear();
        }
        if (!out.empty()) out.back().bytes += unit;
    }
    return out;
}

std::string parameterSets(VideoCodec codec, const std::string& stream) {
    std::string csd;
    for (std::string_view nal : splitAnnexB(stream)) {
        if (!isParameterSet(codec, nal)) continue;
        if (csd.find(nal) != std::string::npos) break;
        csd.append("\0\0\0\1", 4);
        csd.append(nal);
    }
    return csd;
}

namespace {

// A reader that is not installed fails the test that wants it, never passes it quietly.
bool installed(const char* tool) {
    if (run(std::string("command -v ") + tool, false).empty()) {
        ADD_FAILURE() << tool << " is not installed (see scripts/test.sh for the packages)";
        return false;
    }
    return true;
}

std::string quoted(const std::wstring& path) {
    return "'" + narrow(path) + "'";
}

}  // namespace

std::string run(const std::string& command, bool errors) {
    std::string output;
    FILE* pipe = popen((command + (errors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
    if (!pipe) return "cannot run " + command;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    return output;
}

Probe probe(const std::wstring& path) {
    if (!installed("ffprobe")) return {};
    const std::string text =
        run("ffprobe -v error -count_frames -show_entries "
            "stream=codec_type,codec_name,width,height,nb_read_frames,duration,sample_rate,"
            "channels -of json '" +
                narrow(path) + "'",
            false);
    JsonValue doc;
    Probe out;
    EXPECT_TRUE(parseJson(text, doc)) << text;
    const JsonValue* streams = doc.find("streams");
    if (!streams) {
        ADD_FAILURE() << "ffprobe found no streams: " << text;
        return out;
    }
    for (const JsonValue& stream : streams->items) {
        std::map<std::string, std::string> fields;
        for (const auto& [key, value] : stream.members) fields[key] = value.text;
        (fields["codec_type"] == "video" ? out.video : out.sound) = fields;
    }
    return out;
}

std::string decodeErrors(const std::wstring& path) {
    if (!installed("ffmpeg")) return "no ffmpeg";
    return run("ffmpeg -v error -i '" + narrow(path) + "' -f null -");
}

std::vector<double> pictureTimes(const std::wstring& path) {
    std::vector<double> out;
    if (!installed("ffprobe")) return out;
    const std::string text =
        run("ffprobe -v error -select_streams v:0 -show_entries "
            "packet=pts_time -of csv=p=0 " +
                quoted(path),
            false);
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        if (!line.empty()) out.push_back(std::atof(line.c_str()));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return out;
}

std::vector<int16_t> soundSamples(const std::wstring& path) {
    std::vector<int16_t> out;
    if (!installed("ffmpeg")) return out;
    const std::string raw =
        run("ffmpeg -v error -i " + quoted(path) + " -map 0:a -f s16le -", false);
    out.resize(raw.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<int16_t>(static_cast<uint8_t>(raw[2 * i]) |
                                      (static_cast<uint8_t>(raw[2 * i + 1]) << 8));
    }
    return out;
}

namespace {

// framemd5 lines: "0, dts, pts, duration, size, hash", after a "#tb 0: N/D" line.
std::vector<Picture> readFrameMd5(const std::string& text) {
    std::vector<Picture> out;
    double tb = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        int num = 0, den = 0;
        if (std::sscanf(line.c_str(), "#tb 0: %d/%d", &num, &den) == 2 && den > 0) {
            tb = static_cast<double>(num) / den;
            continue;
        }
        long long dts = 0, pts = 0, duration = 0, size = 0;
        char hash[64] = {};
        if (line[0] != '#' && std::sscanf(line.c_str(), "0, %lld, %lld, %lld, %lld, %63s", &dts,
                                          &pts, &duration, &size, hash) == 5) {
            out.push_back({static_cast<double>(pts) * tb, hash});
        }
    }
    return out;
}

}  // namespace

Picture pictureAt(const std::wstring& path, double seconds) {
    if (!installed("ffmpeg")) return {};
    const std::vector<Picture> got =
        readFrameMd5(run("ffmpeg -v error -ss " + std::to_string(seconds) + " -copyts -i " +
                             quoted(path) + " -map 0:v -frames:v 1 -f framemd5 -",
                         false));
    return got.empty() ? Picture{} : got.front();
}

std::vector<Picture> pictures(const std::wstring& path) {
    if (!installed("ffmpeg")) return {};
    return readFrameMd5(
        run("ffmpeg -v error -i " + quoted(path) + " -map 0:v -f framemd5 -", false));
}

Reading gstDiscoverer(const std::wstring& path) {
    Reading out;
    if (!installed("gst-discoverer-1.0")) return out;
    const std::string text = run("gst-discoverer-1.0 " + quoted(path), false);
    int h = 0, m = 0;
    double s = 0;
    const size_t at = text.find("Duration: ");
    if (at != std::string::npos &&
        std::sscanf(text.c_str() + at, "Duration: %d:%d:%lf", &h, &m, &s) == 3) {
        out.seconds = h * 3600.0 + m * 60.0 + s;
    }
    out.video = text.find("video #") != std::string::npos;
    out.sound = text.find("audio #") != std::string::npos;
    return out;
}

Reading mediaInfo(const std::wstring& path) {
    Reading out;
    if (!installed("mediainfo")) return out;
    const std::string text = run(
        "mediainfo '--Inform=General;%Duration%|%VideoCount%|%AudioCount%' " + quoted(path), false);
    double ms = -1;
    int video = 0, sound = 0;
    if (std::sscanf(text.c_str(), "%lf|%d|%d", &ms, &video, &sound) >= 1 && ms >= 0) {
        out.seconds = ms / 1000.0;
    }
    out.video = video > 0;
    out.sound = sound > 0;
    const std::string videoMs = run("mediainfo '--Inform=Video;%Duration%' " + quoted(path), false);
    if (std::sscanf(videoMs.c_str(), "%lf", &ms) == 1) out.videoSeconds = ms / 1000.0;
    return out;
}

}  // namespace tov::test
