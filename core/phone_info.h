// What the phone-info probe learned about the chosen phone.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tov {

struct PhoneInfo {
    struct Encoder {
        std::string name;
        std::string codec;
        bool hardware = false;
        int32_t maxWidth = 0;
        int32_t maxHeight = 0;
        int32_t fps = 0;
        int64_t maxBitrate = 0;
        std::string presets;

        bool operator==(const Encoder&) const = default;
    };

    // True in every record the probe returns (also when the phone did not answer); false in the
    // empty record sent while no phone is chosen.
    bool known = false;
    bool hasEncoders = false;
    std::string device;
    int32_t width = 0;
    int32_t height = 0;
    int32_t refresh = 0;
    std::vector<std::string> codecs;
    std::map<std::string, std::string> defaults;  // codec -> the phone's default encoder
    std::vector<Encoder> encoders;

    bool hasCodec(const std::string& codec) const;
    // The encoder of `codec` named `name`; failing that, the last one named as the phone's
    // default for the codec; otherwise null.
    const Encoder* encoderFor(const std::string& codec, const std::string& name) const;
};

}  // namespace tov
