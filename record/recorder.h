// Records the live stream into MP4 files while the user wants it. A recording begins with the
// next key frame (the phone is asked for one at once) and goes on until the user stops it. A new
// video configuration (the phone turned, the stream restarted) ends the file cleanly; the next
// file begins with the next key frame, since the new pictures need their own parameter sets.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "record/mp4_writer.h"
#include "record/recording_file.h"

namespace tov {

struct RecorderOptions {
    // The path of a new recording; empty when there is nowhere to put one.
    std::function<std::wstring()> newFilePath;
    // Any thread; the phone is asked for a key frame.
    std::function<void()> keyframeWanted;
    // Any thread; the status text or the recording state changed.
    std::function<void()> changed;
    int64_t fragmentUs = 1000000;
    size_t maxQueuedBytes = size_t{64} << 20;
};

class Recorder {
  public:
    explicit Recorder(RecorderOptions options);
    ~Recorder();

    // UI thread.
    void start();
    void stop();
    bool wanted() const;
    // What the user is told: where the recording goes, where it went, or why it stopped.
    std::string statusText() const;

    // Stream thread.
    void onVideoConfig(int width, int height, int codec, const uint8_t* csd, size_t size);
    void onVideoPacket(const uint8_t* data, size_t size, int64_t timeUs, bool key);
    void onAudioConfig(int sampleRate, int channels);
    void onAudioPacket(const uint8_t* data, size_t size);
    // The stream ended: the open file is closed; a recording still wanted goes on in a new file
    // when pictures come again.
    void onStreamEnd();

  private:
    // Under lock_. Closing joins the file's writer, which never waits on this lock.
    void openFile();
    void closeFile();
    void fail(const std::string& text);
    void notify();

    RecorderOptions options_;
    mutable std::mutex lock_;
    bool wanted_ = false;
    bool askedForKey_ = false;
    bool savedAny_ = false;  // a file of this recording is saved
    Mp4VideoTrack video_;
    bool haveVideo_ = false;
    Mp4AudioTrack audio_;
    std::unique_ptr<RecordingFile> file_;
    Mp4Writer writer_;
    std::wstring path_;
    std::string status_;
};

}  // namespace tov
