// Records the live stream into MP4 files while the user wants it. A recording begins with the
// next key picture (the phone is asked for one at once) and goes on until the user stops it. A
// new video configuration (the phone turned, the stream restarted), a new sound format or a
// picture time stamp that jumps ends the file cleanly; the next file begins with the next key
// picture. Files are finished (the last writes, the length, the flush to the disk) on the
// recorder's own thread, so stopping never waits for the disk; that thread also closes a
// fragment about every second when nothing arrives.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "record/mp4_writer.h"
#include "record/recording_clock.h"
#include "record/recording_file.h"

namespace tov {

struct RecorderOptions {
    // The path of a new recording; empty when there is nowhere to put one.
    std::function<std::wstring()> newFilePath;
    // Creates the file at a path; null when it cannot be made. The disk when empty.
    std::function<std::unique_ptr<RecordingOutput>(const std::wstring&)> createFile;
    // Any thread; the phone is asked for a key frame.
    std::function<void()> keyframeWanted;
    // Any thread; the status text or the recording state changed.
    std::function<void()> changed;
    // The PC clock in microseconds; the platform's when empty.
    std::function<int64_t()> clock;
    int64_t fragmentUs = 1000000;
    size_t maxQueuedBytes = size_t{64} << 20;
};

class Recorder {
  public:
    explicit Recorder(RecorderOptions options);
    ~Recorder();

    // UI thread; each returns at once.
    void start();
    void stop();
    bool wanted() const;
    // What the user is told: where the recording goes, where it went, or why it stopped.
    std::string statusText() const;
    // Program exit: stops, waits until every file is finished and ends the recorder's thread.
    void shutdown();

    // Stream thread.
    void onVideoConfig(int width, int height, int codec, const uint8_t* csd, size_t size);
    void onVideoPacket(const uint8_t* data, size_t size, int64_t timeUs, bool key);
    void onAudioConfig(int sampleRate, int channels);
    // `timeUs`: the phone's time of the packet's first frame, 0 when the phone sends none.
    void onAudioPacket(const uint8_t* data, size_t size, int64_t timeUs);
    // The stream ended: the open file is closed; a recording still wanted goes on in a new file
    // when pictures come again.
    void onStreamEnd();

    // Lets time pass for the open file though nothing arrived; the recorder's thread calls it
    // about four times a second.
    void tick();

  private:
    struct Finishing {
        std::unique_ptr<RecordingFile> file;
        std::vector<Mp4Patch> patches;
        std::wstring path;
        bool written = false;  // the writer put out everything
        bool told = false;     // the user already knows it failed
        int64_t pictures = 0;
        int64_t durationUs = 0;
    };
    struct SoundPacket {
        int64_t timeUs = 0;  // the phone's
        std::string pcm;
    };

    // Under lock_; none of them waits for the disk.
    void openFile();
    void closeFile(const char* why);
    void fail(const std::string& text);
    void keepSound(const uint8_t* data, size_t size, int64_t timeUs);
    // The writer's word on a packet that arrived at `arrivedUs`; false tells the user.
    bool wrote(bool ok, int64_t arrivedUs);
    int64_t now() const;
    void run();
    void finishFile(Finishing& f);
    void notify();

    RecorderOptions options_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool quit_ = false;
    bool wanted_ = false;
    bool askedForKey_ = false;
    bool anyFile_ = false;  // this recording opened a file
    Mp4VideoTrack video_;
    bool haveVideo_ = false;
    Mp4AudioTrack audio_;      // the stream's sound format, as last told
    Mp4AudioTrack fileAudio_;  // the open file's
    RecordingClock clock_;
    std::deque<SoundPacket> recentSound_;  // the last second, for a file about to start
    size_t recentBytes_ = 0;
    std::unique_ptr<RecordingFile> file_;
    Mp4Writer writer_;
    std::wstring path_;
    std::deque<Finishing> finishing_;
    std::string status_;
    std::wstring statusPath_;  // the file status_ speaks of
    std::thread thread_;
};

}  // namespace tov
