#include "tools/phonesim/video_feed.h"

#include <algorithm>

namespace tov::phonesim {
namespace {

bool sameStream(const FeedClip& a, const FeedClip& b) {
    return a.clip->width == b.clip->width && a.clip->height == b.clip->height &&
           a.rung.fps == b.rung.fps && a.clip->config == b.clip->config;
}

}  // namespace

VideoFeed::VideoFeed(std::vector<FeedClip> clips, size_t start)
    : clips_(std::move(clips)), current_(start), wanted_(start) {
    unit_ = clips_[current_].clip->nextKey(0);
}

void VideoFeed::follow(const StreamWish& wish) {
    if (clips_.size() < 2) return;  // one clip: the phone sends what it has
    std::vector<LadderRung> rungs;
    for (const FeedClip& c : clips_) rungs.push_back(c.rung);
    std::lock_guard lock(mutex_);
    wanted_ = pickRung(rungs, wish);
}

void VideoFeed::wantKey() {
    std::lock_guard lock(mutex_);
    keyWanted_ = true;
}

VideoFeed::Picture VideoFeed::next() {
    std::lock_guard lock(mutex_);
    Picture picture;
    if (wanted_ != current_) {
        const FeedClip& from = clips_[current_];
        const FeedClip& to = clips_[wanted_];
        const size_t count = to.clip->units.size();
        if (!sameStream(from, to)) {
            // The encoder restarts: the same moment of the content, from a key picture.
            const size_t at = unit_ * static_cast<size_t>(to.rung.fps) /
                              static_cast<size_t>(std::max(1, from.rung.fps));
            current_ = wanted_;
            unit_ = to.clip->nextKey(std::min(at, count - 1));
            picture.newConfig = true;
            keyWanted_ = false;
        } else if (from.clip->units[unit_].key) {
            // Clips of one size and frame rate share their key pictures' places.
            current_ = wanted_;
            unit_ = to.clip->nextKey(std::min(unit_, count - 1));
        }
    }
    const VideoClip& clip = *clips_[current_].clip;
    if (keyWanted_ && !clip.units[unit_].key) unit_ = clip.nextKey(unit_);
    keyWanted_ = false;
    picture.unit = &clip.units[unit_];
    unit_ = unit_ + 1 < clip.units.size() ? unit_ + 1 : clip.nextKey(0);
    return picture;
}

FeedClip VideoFeed::current() const {
    std::lock_guard lock(mutex_);
    return clips_[current_];
}

FeedClip VideoFeed::wanted() const {
    std::lock_guard lock(mutex_);
    return clips_[wanted_];
}

}  // namespace tov::phonesim
