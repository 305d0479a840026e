// One simulated phone: who it is, how it is attached, what is on it, how it misbehaves, and what
// the PC sent it. Guarded by the simulator's lock; services copy what they need.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "session/text_map.h"
#include "tools/phonesim/shaped_link.h"

namespace tov::phonesim {

inline constexpr const char* kAppPackage = "com.tovenmar.app";
inline constexpr const char* kHelperPath = "/data/local/tmp/tovenmar.apk";
inline constexpr const char* kInputHelperClass = "com.tovenmar.app.input.InputServer";
inline constexpr const char* kProbeClass = "com.tovenmar.app.shell.PhoneInfo";
// Pictures from the PC's clipboard land here; only the latest is kept.
inline constexpr const char* kPictureFolder = "/sdcard/Pictures/Tovenmar/";

// One way adb reaches the phone.
struct PhoneLink {
    std::string serial;    // empty: the phone has no such link
    bool plugged = false;  // listed by adb right now
};

struct ClipRecord {
    int kind = 0;
    bool isPrivate = false;
    std::string mime;
    std::string data;
};

// A file that reached the phone through adb: pushed to a path, or installed as a package.
struct ArrivedFile {
    std::string how;     // "push" or "install"
    std::string target;  // the path on the phone, or the package name
    size_t size = 0;
    std::string sha256;  // hexadecimal
};

// A file in the phone's storage.
struct PhoneFile {
    std::string sha256;  // hexadecimal; empty while a push of it is still arriving
    uint64_t size = 0;
};

// The phone's side of the Wi-Fi network: its address there, wireless debugging, and the services
// it announces for adb's discovery.
struct PhoneNetwork {
    std::string address;      // IPv4 address on the Wi-Fi network; empty: not on one
    bool up = true;           // on that network now (a drop keeps the address for its return)
    std::string serviceName;  // its name in discovery; empty: "adb-" + serialno + "-" + a suffix
    bool debugging = false;   // wireless debugging is on: the connect service is announced
    int connectPort = 0;      // wireless debugging's port
    bool paired = false;      // this PC is paired: wireless debugging takes its connections
    int tcpipPort = 0;        // adbd also listens on plain TCP here after "adb tcpip"
    // The pairing service open now (a scanned QR code, or the pairing-code screen).
    std::string pairingName;
    int pairingPort = 0;
    std::string pairingCode;
};

struct SimPhone {
    std::string id;
    PhoneLink usb;
    PhoneLink wifi;
    std::string state = "device";  // "device", "unauthorized" or "offline"
    PhoneNetwork net;

    // Identity (getprop) and screen.
    std::string serialno;
    std::string manufacturer = "Google";
    std::string model = "Pixel 7";
    std::string product = "panther";
    std::string device = "panther";
    int width = 1080;  // physical size
    int height = 2400;
    int overrideWidth = 0;  // "wm size" override, 0 when none
    int overrideHeight = 0;
    int refresh = 120;
    TextMap probeKeys;         // replaces or adds keys of the info probe's answer
    bool probeSilent = false;  // the probe prints no marker lines

    // Storage: files by path, and the installed app.
    std::map<std::string, PhoneFile> files;
    // Pushes on a slow link, by path: the whole file they bring (`files` holds what arrived).
    std::map<std::string, PhoneFile> arriving;
    int64_t pushPiece = 0;    // 0: a push arrives at once; else bytes per look at the file's size
    int64_t pushStall = -1;   // -1: pushes finish; else a push stops once this many bytes are there
    std::string appDigest;    // empty: not installed
    bool appForeign = false;  // installed with another signature
    std::vector<std::string> grants;
    std::string installFailure;  // empty: installs succeed
    std::string pushFailure;     // empty: pushes succeed
    // Packages installed besides the Tovenmar app, by name, with their digests.
    std::map<std::string, std::string> userPackages;

    // Stream and helper behaviour.
    std::string clip;      // H.264 clip file; empty: the daemon's default
    std::string hevcClip;  // HEVC clip file; empty: the daemon's default
    // A folder of clips at several sizes, frame rates and bitrates that the stream picks from
    // as the options ask (H.264 only); empty: the one clip. `ladderPresets` lists them.
    std::string ladder;
    std::string ladderPresets;
    bool hevc = true;      // the phone has an HEVC encoder
    int fps = 30;
    int64_t clockOffsetUs = 0;  // phone clock minus PC clock
    bool audio = true;
    // The sound is a quiet tone with a loud beep at each key picture's time stamp, so that a
    // recording's sync can be read off it.
    bool beeps = false;
    int helperVersion = 11;
    bool exactAccepted = true;
    int helloDelayMs = 0;
    int appStartMs = 0;  // how long the app takes to serve after "am start"
    bool noHello = false;
    bool stateFirst = false;   // a state report comes where the hello belongs
    bool shortPong = false;    // pongs echo only half of the ping's 8 bytes
    std::vector<std::string> stateWithout;  // keys left out of every state report
    int inputEchoDelayMs = 0;  // how long the phone takes to answer an input mode
    // Beyond the contract: the phone tags its input reports with the "seq" of the last input
    // mode it took.
    bool inputSeq = false;
    // When the phone's own report of its input state as it stood at the hello (both off, before
    // it took any input mode) goes out; Late: right after the first change its user makes.
    enum class OwnInputReport { WithMedia, First, AfterEcho, Late };
    OwnInputReport ownInputReport = OwnInputReport::WithMedia;

    // What runs now.
    bool appRunning = false;     // the phone app's stream server listens on tcp:27183
    uint64_t appServesAtMs = 0;  // ... from this tick on
    uint64_t helperRun = 0;      // non-zero while an input helper runs (its run number)
    bool stalled = false;        // stream sends nothing, not even pongs
    bool still = false;          // the screen does not change: no pictures, the rest goes on
    std::vector<std::string> streamInjections;  // raw bytes the live stream sends next
    // Changes the phone's user makes to its input state ("keyboard", "mouse": "0" or "1"), which
    // the live stream reports next.
    std::vector<TextMap> ownInputChanges;
    LinkShape link;  // the stream's way to the PC (not shaped by default)
    std::vector<std::weak_ptr<ShapedLink>> streamLinks;  // of the stream connections open now

    // What the PC sent.
    std::vector<TextMap> options;           // every options packet, in order
    std::vector<std::string> events;        // input helper messages, one line each
    std::vector<ClipRecord> clipsIn;        // clipboard items from the PC
    std::vector<ClipRecord> clipsOut;       // items the phone's clipboard will send the PC
    std::vector<std::string> streamEvents;  // key frame requests, stops, input modes
    std::vector<ArrivedFile> arrived;       // every push and install that went through
    uint64_t pings = 0;

    bool encodesHevc() const { return hevc && ladder.empty(); }
    int screenWidth() const { return overrideWidth > 0 ? overrideWidth : width; }
    int screenHeight() const { return overrideWidth > 0 ? overrideHeight : height; }
    std::string displayName() const;
    bool hasSerial(const std::string& serial) const;
    bool listed(const std::string& serial) const;  // attached through this serial now
};

// The line "devices -l" prints for one attached link.
std::string devicesLine(const SimPhone& phone, const std::string& serial, int transportId);

std::string getprop(const SimPhone& phone, const std::string& key);

// The block the info probe prints, marker lines included.
std::string probeAnswer(const SimPhone& phone);

// "Physical size: 1080x2400\n" plus the override line when there is one.
std::string wmSizeAnswer(const SimPhone& phone);

// Applies "key=value" words to a phone; false with a reason on an unknown key or a bad value.
bool applyPhoneSetting(SimPhone& phone, const std::string& key, const std::string& value,
                       std::string& error);

// "1080x2400" → 1080, 2400; false for anything else.
bool parseSize(const std::string& text, int& width, int& height);

}  // namespace tov::phonesim
