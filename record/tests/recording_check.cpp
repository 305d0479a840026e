#include "record/tests/recording_check.h"

#include <gtest/gtest.h>

#include <cstdio>

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
        const int type = nalType(codec, nal);
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
    const std::string text =
        run("ffprobe -v error -count_frames -show_entries "
            "stream=codec_type,codec_name,width,height,nb_read_frames,duration,sample_rate,"
            "channels -of json '" + narrow(path) + "'",
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
    return run("ffmpeg -v error -i '" + narrow(path) + "' -f null -");
}

}  // namespace tov::test
