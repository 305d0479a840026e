// The program's one state record: every user choice, every value the phone reported, and the
// status of the link, the stream, the clipboard and the updater. The App owns one under its model
// lock; the panel draws from copies of it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/link_state.h"
#include "core/phone_info.h"
#include "core/wifi_state.h"

namespace tov {

// One stream preset that the phone offers ("name:label:fps:width:height" in its report).
struct PresetRecord {
    std::string name;
    std::string label;
    int32_t fps = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const PresetRecord&) const = default;
};

// One phone of the phone monitor's list.
struct PhoneEntry {
    std::string key;
    std::string name;
    bool usb = false;
    bool wifi = false;

    bool operator==(const PhoneEntry&) const = default;
};

// One shortcut as the panel lists it: the action's display name and its binding text.
struct ShortcutText {
    std::wstring name;
    std::wstring keyText;

    bool operator==(const ShortcutText&) const = default;
};

// The updater's status as the panel shows it (copied from the updater's snapshot).
struct UpdaterStatus {
    int32_t state = 0;
    std::string version;
    std::string message;
    int32_t percent = 0;
    int64_t time = 0;

    bool operator==(const UpdaterStatus&) const = default;
};

struct PanelModel {
    LinkState linkState = LinkState::Stopped;
    bool streaming = false;  // the Session's run flag: the user wants the stream on
    std::string statusText;
    bool recording = false;   // the user wants the stream recorded
    std::string recordText;   // where the recording goes or went, or why it stopped
    std::string activityText;  // the status line: what a file drop or a screenshot came to
    bool activityFailed = false;
    bool reinstallOffered = false;  // the phone app could not be updated in place
    std::string detail;             // text of the last link state, or the phone's name

    bool video = true;
    bool audio = true;
    bool keyboard = true;
    bool mouse = true;
    std::string preset = "sharp";
    std::vector<PresetRecord> presets;  // what the phone offers
    std::string codec = "h264";         // the codec in use
    std::string codecChoice = "auto";   // the codec the user chose
    bool phoneHevc = false;
    bool pcHevc = false;
    int32_t link = 0;  // the phone's `link` report
    int32_t bitrate = 40000000;
    bool vbr = true;
    bool voice = true;
    int32_t maxBitrate = 60000000;
    int32_t width = 0;  // size of the video the phone sends; 0 while not live
    int32_t height = 0;
    int32_t probeState = 0;  // 1 the last probe succeeded, -1 it did not, 0 none yet
    std::vector<PhoneInfo::Encoder> encoders;
    std::string encoder;  // the user's encoder choice; empty lets the phone decide
    std::string encoderName;  // the encoder the phone reports in use

    // Live statistics, copied at each model build.
    int32_t statFps = 0;           // pictures shown per second
    int32_t statVideoDelayMs = 0;  // video latency
    int32_t statInputDelayMs = 0;  // input helper round trip
    int32_t statFrames = 0;        // packets received
    int32_t statDropped = 0;       // packets dropped
    double rateMbps = 0;           // measured stream rate
    bool videoFlag = false;        // the video is decoded on the GPU

    int32_t inputState = 0;  // the input helper link's state; 2 is ready
    bool audioRunning = false;
    bool deviceMode = false;  // Device mode instead of Touch mode
    bool captured = false;    // the video window holds the mouse
    bool accel = true;
    float speed = 1.0f;
    int32_t deviceAnswer = -1;  // -1 unknown, else 0 or 1
    std::wstring keyName;       // display text of the Tovenmar key
    std::vector<ShortcutText> shortcutTexts;

    // Fitting the stream to this PC and the link (setting [stream] `adapt`). While on, what is
    // sent may be below the user's choice: a lower bitrate, and a cheaper preset (Phone app mode)
    // or size and rate (No app mode); 0 and empty mean the user's own.
    bool adapt = true;
    int32_t adaptBitrate = 0;
    std::string adaptPreset;
    int32_t adaptWidth = 0;
    int32_t adaptHeight = 0;
    int32_t adaptFps = 0;
    std::string adaptText;  // what it sends now and why; empty while not streaming

    // No app mode.
    bool noApp = false;
    int32_t customWidth = 0;
    int32_t customHeight = 0;
    int32_t fps = 60;
    int32_t mbps = 40;
    int32_t fit = 0;     // 0 Bars, 1 Stretch, 2 Crop
    int32_t aspect = 0;  // shape choice 0..5
    std::string ratio;   // typed ratio for shape 5
    double shapeRatio = 0;  // long side over short side of the chosen shape; 0 when none
    bool matchPhone = false;
    std::string shapeText;
    std::string keyframe = "10";
    std::string noAppCodec = "auto";

    // Phone app reports.
    std::string limits;
    std::string note;
    std::string audioNote;

    // Phones.
    std::vector<PhoneEntry> phones;
    std::string pinned;
    std::string pinnedName;
    std::string chosenKey;
    bool chosenWifi = false;
    // The phone whose settings and statistics the pages show (the chosen one unless another was
    // selected), and the state of each phone's stream, by key, for the list's own Start and Stop.
    std::string shownKey;
    std::vector<std::pair<std::string, LinkState>> phoneLinks;
    bool preferUsb = true;
    bool wifi = false;
    // Wi-Fi: the pairing card, the phones offering pairing and the remembered phones.
    WifiState wifiState;
    // The name of the remembered phone a wanted stream waits for while it is off Wi-Fi; empty
    // when none.
    std::string wifiAwaited;

    // Clipboard.
    bool toPhone = true;
    bool toPc = true;
    bool pictures = false;
    bool passwords = false;

    // Several phones: sound from every phone instead of the one whose window was active last
    // (setting [stream] `soundfromall`), and the user's input sent to every live phone (setting
    // [input] `everyphone`).
    bool soundFromAll = false;
    bool everyPhone = false;

    // Panel-only values, never saved.
    bool showVideo = true;
    bool onTop = false;
    float volume = 1.0f;

    std::string version;
    UpdaterStatus updater;
    bool autoUpdate = true;
    bool updateLater = false;  // "Later" was pressed on the update-ready notice; not saved
    std::string whatsNewVersion;  // empty hides the What's new notice
    std::string whatsNewNotes;

    // Compared with the copy last drawn: the panel draws only when what it shows changed.
    bool operator==(const PanelModel&) const = default;
};

}  // namespace tov
