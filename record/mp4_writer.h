// Writes a stream as it is received into a fragmented MP4 file: the video as the phone encoded it
// (H.264 or HEVC, no re-encoding) and the sound as 16-bit PCM, both placed by the phone's time
// stamps on one time line that starts at the file's first key picture. The file is a header and
// then one self-contained fragment about every second of that time line, whatever arrives, so a
// file cut short still plays up to its last whole fragment; a finished one also says its length
// and ends with an index for seeking.
#pragma once

#include <cstdint>
#include <functional>
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
    enum class Added {
        Ok,
        // The picture's time stamp went back: this file's time line cannot hold it. End the
        // file; the next one starts at a key picture.
        Broken,
        Failed,  // the sink has failed
        // The picture came after a cut that already passed its time (a link that stalled while
        // the file went on): it and the pictures after it are left out until the next key
        // picture, which the caller should ask for. Said once a wait.
        WantsKey,
    };

    // Whether the configuration holds the parameter sets a file needs.
    static bool canRecord(const Mp4VideoTrack& video);
    // Writes the file header. False when the configuration cannot be recorded or the sink
    // fails. Without a sound format (rate 0) the file has no sound track.
    bool start(const Mp4VideoTrack& video, const Mp4AudioTrack& audio, Sink sink,
               int64_t fragmentUs = 1000000);
    // One access unit (Annex-B) with the phone's time stamp in microseconds. The file starts at
    // the first key packet that holds a picture; what comes before is left out.
    Added addVideo(std::string_view annexB, int64_t timeUs, bool key);
    // Interleaved 16-bit PCM with the phone's time stamp of its first frame, or 0 when the
    // packet carries none: it then follows on from the sound before. Sound is placed at its
    // time; a gap becomes silence and sound for a time already written is left out, so the
    // sound never drifts from the pictures. False once the sink has failed.
    bool addAudio(std::string_view pcm, int64_t timeUs);
    // The stream has certainly reached the phone time `timeUs`, though nothing may have come:
    // fragments close on time, the last picture lasting on, and missing sound becomes silence.
    bool advance(int64_t timeUs);
    // Writes what is still open and the index; `patches` then give the header's durations. The
    // writer is spent afterwards.
    bool finish(std::vector<Mp4Patch>& patches);

    bool started() const { return started_; }
    bool recording() const { return haveOrigin_; }
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
    bool haveOrigin_ = false;
    int64_t originUs_ = 0;
    int64_t nowUs_ = 0;            // the latest time the stream is known to have reached
    int64_t fragmentStartUs_ = 0;  // where the open fragment began
    uint32_t sequence_ = 0;
    uint64_t fileBytes_ = 0;
    // Pictures of the open fragment.
    std::vector<Picture> pictures_;
    std::string pictureData_;
    int64_t lastPictureTicks_ = -1;
    int64_t lastStampTicks_ = -1;  // the newest picture's own stamp, written or not
    bool waitingForKey_ = false;   // pictures are left out until the next key picture
    int64_t lastIntervalTicks_ = 0;
    int64_t videoEndTicks_ = 0;  // what is written ends here: no later picture starts earlier
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
