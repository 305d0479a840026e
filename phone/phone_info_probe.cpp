#include "phone/phone_info_probe.h"

#include <map>
#include <vector>

#include "core/log.h"
#include "phone/output_text.h"
#include "platform/text.h"

namespace tov {
namespace {

const std::string_view kBegin = "tovenmar-info-begin";
const std::string_view kEnd = "tovenmar-info-end";

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

void readEncoders(std::string_view list, const std::map<std::string, std::string>& keys,
                  PhoneInfo& info) {
    for (std::string_view item : split(list, ';')) {
        const std::vector<std::string_view> f = split(item, ':');
        if (f.size() != 7) continue;
        PhoneInfo::Encoder e;
        e.name = std::string(f[0]);
        e.codec = std::string(f[1]);
        e.hardware = f[2] == "1";
        e.maxWidth = decimalOrZero(f[3]);
        e.maxHeight = decimalOrZero(f[4]);
        e.fps = decimalOrZero(f[5]);
        e.maxBitrate = decimal64OrZero(f[6]);
        const auto presets = keys.find("presets." + e.name);
        if (presets != keys.end()) e.presets = presets->second;
        info.encoders.push_back(std::move(e));
    }
}

}  // namespace

std::optional<PhoneInfo> parsePhoneInfoAnswer(std::string_view output) {
    const size_t begin = output.find(kBegin);
    const size_t end = output.find(kEnd);
    if (begin == std::string_view::npos || end == std::string_view::npos || end < begin) {
        return std::nullopt;
    }
    std::map<std::string, std::string> keys;
    for (std::string_view line : splitLines(output.substr(begin, end - begin))) {
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0) continue;
        keys[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
    }

    PhoneInfo info;
    info.known = true;
    for (const auto& [key, value] : keys) {
        if (key == "device") {
            info.device = value;
        } else if (key == "screen") {
            if (const auto size = readSize(value)) {
                info.width = size->width;
                info.height = size->height;
            }
        } else if (key == "refresh") {
            info.refresh = decimalOrZero(value);
        } else if (key == "codecs") {
            for (std::string_view codec : split(value, ',')) {
                if (!codec.empty()) info.codecs.emplace_back(codec);
            }
        } else if (startsWith(key, "default.")) {
            info.defaults[key.substr(8)] = value;
        } else if (key == "encoders") {
            readEncoders(value, keys, info);
        }
    }
    info.hasEncoders = !info.encoders.empty();
    return info;
}

PhoneInfo probePhoneInfo(AppInstaller& installer, const AdbRunFunction& runAdb,
                         const std::wstring& adbPath, const std::wstring& prefix) {
    PhoneInfo info;
    info.known = true;
    if (!installer.copyHelper(adbPath, prefix)) {
        logLine("phone info: couldn't copy the helper");
        return info;
    }
    std::string output;
    runAdb(adbPath,
           prefix + L"shell CLASSPATH=" + widen(kHelperPhonePath) +
               L" app_process / com.tovenmar.app.shell.PhoneInfo",
           &output, kProbeTimeoutMs);
    std::optional<PhoneInfo> answer = parsePhoneInfoAnswer(output);
    if (!answer) {
        logLine("phone info: no answer (%s)", logExcerpt(output, 300).c_str());
        return info;
    }
    logLine("phone info: %s, %dx%d at %d Hz, %zu encoders", answer->device.c_str(), answer->width,
            answer->height, answer->refresh, answer->encoders.size());
    return *answer;
}

}  // namespace tov
