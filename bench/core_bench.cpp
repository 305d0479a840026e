// The program's core costs, each beside a baseline that does the same amount of plain work in
// the same run: the feed's JSON parse against a byte scan of the same text, a settings save
// against one write of the file it produces, and the audio ring's cost per 10 ms of sound against
// copying those samples in and out. Medians of several rounds.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/json.h"
#include "core/settings_file.h"
#include "audio/playback_buffer.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

using Clock = std::chrono::steady_clock;

// Median seconds of `rounds` runs of `work`.
double medianSeconds(int rounds, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void row(const char* what, double figure, double baseline, const char* unit) {
    std::printf("%-34s %12.3f %s   baseline %12.3f %s   ratio %8.3g\n", what, figure, unit,
                baseline, unit, figure / baseline);
}

// A release feed of `count` releases, shaped as the service sends it.
std::string feedText(int count) {
    std::string out = "[";
    for (int i = 0; i < count; ++i) {
        if (i) out += ",";
        const std::string tag = "v1." + std::to_string(i / 10) + "." + std::to_string(i % 10);
        out += "{\"url\":\"https://api.example.com/repos/o/r/releases/" + std::to_string(i) +
               "\",\"tag_name\":\"" + tag +
               "\",\"draft\":false,\"prerelease\":false,\"id\":" + std::to_string(1000000 + i) +
               ",\"body\":\"## What's new\\n\\n- **Faster** start\\n- Fixed \\u00e9 things\\n\"" +
               ",\"assets\":[{\"name\":\"Tovenmar.exe\",\"size\":4194304,\"browser_download_url\":"
               "\"https://example.com/" +
               tag +
               "/Tovenmar.exe\"},{\"name\":\"Tovenmar.exe.sig\",\"size\":64,"
               "\"browser_download_url\":\"https://example.com/" +
               tag + "/Tovenmar.exe.sig\"}]}";
    }
    return out + "]";
}

void jsonRate() {
    const std::string text = feedText(2000);
    const double mb = static_cast<double>(text.size()) / 1e6;
    volatile size_t sink = 0;
    const double parse = medianSeconds(9, [&] {
        tov::JsonValue value;
        if (!tov::parseJson(text, value)) std::abort();
        sink = sink + value.items.size();
    });
    // Touching every byte once: what any reader of the text must at least do.
    const double scan = medianSeconds(9, [&] {
        size_t quotes = 0;
        for (char c : text) quotes += c == '"';
        sink = sink + quotes;
    });
    std::printf("JSON: a feed of %.2f MB, 2000 releases\n", mb);
    row("JSON parse rate (MB/s)", mb / parse, mb / scan, "MB/s");
}

void settingsSave() {
    const std::wstring folder = tov::joinPath(tov::tempFolder(), L"tovenmar-core-bench");
    tov::createDirectory(folder);
    const std::wstring path = tov::joinPath(folder, L"settings.ini");
    const std::wstring plain = tov::joinPath(folder, L"plain.ini");
    tov::PanelModel model;
    model.bitrate = 12000000;
    model.preset = "sharp";
    tov::SettingsExtras extras;
    extras.lastPhone = "R58M123ABC";
    tov::writeSettings(path, model, extras);
    std::string bytes;
    tov::readFile(path, bytes);
    const double save = medianSeconds(31, [&] { tov::writeSettings(path, model, extras); });
    const double write = medianSeconds(31, [&] { tov::writeFile(plain, bytes); });
    std::printf("Settings: settings.ini of %zu bytes\n", bytes.size());
    row("settings save (ms)", save * 1e3, write * 1e3, "ms  ");
    tov::deleteFile(path);
    tov::deleteFile(plain);
}

void audioRing() {
    constexpr int kRate = 48000, kChannels = 2, kFrames = kRate / 100;  // 10 ms
    constexpr int kPackets = 20000;
    std::vector<uint8_t> packet(kFrames * kChannels * 2);
    for (size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<uint8_t>(i * 7);
    std::vector<int16_t> device(kFrames * kChannels);
    tov::PlaybackBuffer buffer;
    buffer.reset(tov::AudioFormat{kRate, kChannels});
    const tov::PlaybackBuffer::Destination destination = [&](uint32_t) { return device.data(); };
    const double ring = medianSeconds(5, [&] {
        for (int i = 0; i < kPackets; ++i) {
            buffer.pushBytes(packet.data(), packet.size());
            buffer.fill(0, kFrames, 0.8f, destination);
        }
    });
    // The same samples copied into a holding buffer and out to the device, scaled the same way.
    std::vector<int16_t> held(kFrames * kChannels);
    const double copy = medianSeconds(5, [&] {
        for (int i = 0; i < kPackets; ++i) {
            std::memcpy(held.data(), packet.data(), packet.size());
            for (size_t s = 0; s < held.size(); ++s) {
                device[s] = static_cast<int16_t>(held[s] * 0.8f);
            }
        }
    });
    std::printf("Audio: 48 kHz stereo, %d packets of 10 ms pushed and rendered\n", kPackets);
    row("audio ring per 10 ms (us)", ring / kPackets * 1e6, copy / kPackets * 1e6, "us  ");
}

}  // namespace

int main() {
    jsonRate();
    settingsSave();
    audioRing();
    return 0;
}
