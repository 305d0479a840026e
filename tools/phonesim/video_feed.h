// The pictures a phone's encoder hands out, one access unit at a time: one clip at the phone's
// frame rate, or a ladder of clips that the stream options choose from. A change of bitrate
// takes effect at the next key picture with the configuration unchanged, so the picture never
// breaks; a change of size or frame rate needs a new video configuration, followed at once by a
// key picture of the new clip.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "tools/phonesim/clip_ladder.h"
#include "tools/phonesim/video_clip.h"

namespace tov::phonesim {

struct FeedClip {
    LadderRung rung;  // size, frame rate and bitrate; the clip's own size wins
    std::shared_ptr<const VideoClip> clip;
};

class VideoFeed {
  public:
    // `clips` must not be empty; the feed starts at `start`, on its first key picture.
    VideoFeed(std::vector<FeedClip> clips, size_t start);

    // The options ask for this now (reader thread); the feed moves there as its pictures allow.
    void follow(const StreamWish& wish);
    // The next picture is a key picture.
    void wantKey();

    struct Picture {
        const AccessUnit* unit = nullptr;
        bool newConfig = false;  // a video configuration for current() goes before it
    };
    // The next picture to send (media thread).
    Picture next();
    // The clip the pictures come from now, and the one the options asked for last.
    FeedClip current() const;
    FeedClip wanted() const;

  private:
    mutable std::mutex mutex_;
    const std::vector<FeedClip> clips_;
    size_t current_ = 0;
    size_t wanted_ = 0;
    size_t unit_ = 0;  // the next unit of the current clip
    bool keyWanted_ = false;
};

}  // namespace tov::phonesim
