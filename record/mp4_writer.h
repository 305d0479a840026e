// Writes a stream as it is received into a fragmented MP4 file: the video as the phone encoded it
// (H.264 or HEVC, no re-encoding) and the sound as 16-bit PCM, both placed at the file times the
// recording's clock gives them (record/recording_clock.h), on one time line that starts at the
// file's first key picture. The file is a header and then one self-contained fragment about
// every second of that time line, whatever arrives, so a file cut short still plays up to its
// last whole fragment; a finished one also says its length and ends with an index for seeking.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "record/mp4_boxes.h"

namespace tov {

// Bytes to write over what the file already holds at `offset`.
struct Mp4Patch {
    uint64_t offset = 0;
    std::string bytes;
};

class Mp4Writer {
  public:
    // Takes each piece of the file in order; false when it could not be stored.
    using Sink = std::function<bool(std::string_view bytes)>;
    // Sound without a time of its own follows on from the sound before.
    static constexpr int64_t kFollowsOn = std::numeric_limits<int64_t>::min();

    // Whether the configuration holds the parameter sets a file needs.
    static bool canRecord(const Mp4VideoTrack& video);
    // Writes the file header. False when the configuration cannot be recorded or the sink
    // fails. Without a sound format (rate 0) the file has no sound track.
    bool start(const Mp4VideoTrack& video, const Mp4AudioTrack& audio, Sink sink,
               int64_t fragmentUs = 1000000);
    // One access unit (Annex-B) at its file time in microseconds. The file starts at the first
    // key packet that holds a picture; what comes before is left out. A picture is never placed
    // before the one before it. False once the sink has failed.
    bool addVideo(std::string_view annexB, int64_t fileUs, bool key);
    // Interleaved 16-bit PCM whose first frame belongs at `fileUs` (or kFollowsOn). A gap becomes
    // silence and sound for a time already written is left out, so the sound never drifts from
    // the pictures. False once the sink has failed.
    bool addAudio(std::string_view pcm, int64_t fileUs);
    // Nothing more will come for a time before `fileUs`: fragments close up to there, the last
    // picture lasting on, and missing sound becomes silence.
    bool advance(int64_t fileUs);
    // Writes what is still open and the index; `patches` then give the header's durations. The
    // writer is spent afterwards.
    bool finish(std::vector<Mp4Patch>& patches);

    bool started() const { return started_; }
    bool recording() const { return videoSamples_ > 0; }
    int64_t videoSamples() const { return videoSamples_; }
    // From the first key picture to the end of the later track.
    int64_t durationUs() const;
    // Media held back for the open fragment.
    size_t bufferedBytes() const { return pictureData_.size() + soundData_.size(); }

  private:
    struct Picture {
        int64_t ticks = 0;  // video time scale, from the first key picture
        uint32_t size = 0;
        bool key = false;
    };

    int64_t videoTicks(int64_t us) const;
    int64_t ticksUs(int64_t ticks) const;
    int64_t soundFrames(int64_t us) const;
    int64_t framesUs(int64_t frames) const;
    bool closeIfDue();
    bool fillSilenceTo(int64_t us);
    bool appendSound(std::string_view frames);
    // Writes the open fragment; the pictures go too when `videoEnd` (ticks) says when the last
    // one ends, otherwise they stay open.
    bool cut(int64_t videoEnd);
    bool cutHoldingLastPicture();
    bool emit(const std::string& bytes);

    Sink sink_;
    Mp4VideoTrack video_;
    Mp4AudioTrack audio_;
    Mp4Header header_;
    int64_t fragmentUs_ = 1000000;
    uint32_t frameBytes_ = 0;  // 0: no sound track
    bool started_ = false;
    bool failed_ = false;
    int64_t settledUs_ = 0;        // the clock's word: nothing more comes before it
    int64_t fragmentStartUs_ = 0;  // where the open fragment began
    uint32_t sequence_ = 0;
    uint64_t fileBytes_ = 0;
    // Pictures not written yet: the open fragment's, or a still screen's last one.
    std::vector<Picture> pictures_;
    std::string pictureData_;
    int64_t lastIntervalTicks_ = 0;
    int64_t videoEndTicks_ = 0;  // where the pictures written end
    int64_t videoSamples_ = 0;
    // Sound of the open fragment: frames [soundStart_, soundEnd_).
    std::string soundData_;
    std::string partialFrame_;
    int64_t soundStart_ = 0;
    int64_t soundEnd_ = 0;
    std::vector<Mp4IndexEntry> videoIndex_;
    std::vector<Mp4IndexEntry> soundIndex_;
};

}  // namespace tov
