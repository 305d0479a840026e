// The present thread's half of the video pipeline: it shows the newest decoded picture the video
// thread offers, a black window after a reset, redraws after a resize, and serves picture grabs.
#include <utility>

#include "core/log.h"
#include "video/video_pipeline.h"

namespace tov {

bool VideoPipeline::idle() {
    if (queue_.size() != 0) return false;
    std::lock_guard lock(showMutex_);
    return !offered_ && !blackWanted_ && !presentWanted_ && !grabWanted_ && !presentBusy_;
}

void VideoPipeline::wake() {
    {
        std::lock_guard lock(showMutex_);
        presentWanted_ = true;
    }
    showCv_.notify_all();
}

void VideoPipeline::grabPicture(PictureHandler done) {
    {
        std::lock_guard lock(grabLock_);
        grabs_.push_back(std::move(done));
    }
    // The present thread owns the held picture; reading it needs no present.
    {
        std::lock_guard lock(showMutex_);
        grabWanted_ = true;
    }
    showCv_.notify_all();
}

void VideoPipeline::serveGrabs() {
    std::vector<PictureHandler> waiting;
    {
        std::lock_guard lock(grabLock_);
        waiting.swap(grabs_);
    }
    if (waiting.empty()) return;
    const std::optional<Bitmap> picture = presenter_.readPicture();
    for (PictureHandler& done : waiting) done(picture);
}

void VideoPipeline::offerPicture(const Offered& picture) {
    std::optional<Offered> replaced;
    {
        std::lock_guard lock(showMutex_);
        replaced = std::move(offered_);
        offered_ = picture;
    }
    showCv_.notify_all();
    if (replaced) {
        // The present thread was still busy with an older one: this one was never shown.
        dropped_.fetch_add(1);
        std::lock_guard lock(statsMutex_);
        keepRecord(replaced->record);
    }
}

void VideoPipeline::requestBlack() {
    std::optional<Offered> dropped;
    {
        std::lock_guard lock(showMutex_);
        dropped = std::move(offered_);
        offered_.reset();
        blackWanted_ = true;
    }
    showCv_.notify_all();
    if (dropped) {
        std::lock_guard lock(statsMutex_);
        keepRecord(dropped->record);
    }
}

void VideoPipeline::presentLoop() {
    // Sleeps until something changes what the window should show: every present costs the
    // compositor (and under Wine a software renderer) real work.
    presenter_.presentThreadStarting();
    for (;;) {
        std::optional<Offered> picture;
        bool black = false;
        bool wanted = false;
        {
            std::unique_lock lock(showMutex_);
            presentBusy_ = false;
            showCv_.wait(lock, [this] {
                return presentStop_ || offered_ || blackWanted_ || presentWanted_ || grabWanted_ ||
                       presenter_.resizePending();
            });
            if (presentStop_) return;
            black = std::exchange(blackWanted_, false);
            wanted = std::exchange(presentWanted_, false);
            grabWanted_ = false;
            picture = std::move(offered_);
            offered_.reset();
            presentBusy_ = true;
        }
        // A picture offered together with black came after the reset (the black request took
        // the ones before): it is shown instead.
        if (picture) {
            showOffered(*picture);
        } else if (black || wanted || presenter_.resizePending()) {
            presenter_.present();
        }
        serveGrabs();
    }
}

void VideoPipeline::showOffered(Offered& picture) {
    FrameRecord& record = picture.record;
    record.presenting = now();
    presenter_.present();
    record.shown = now();
    presentMicrosTotal_.fetch_add(record.shown - record.presenting);
    presentedTotal_.fetch_add(1);
    record.uploadMicros = presenter_.lastUploadMicros();
    record.drawMicros = presenter_.lastDrawMicros();
    std::lock_guard lock(statsMutex_);
    ++shownInterval_;
    // The phone's capture of this very picture: its own packet's stamp, mapped when it was fed.
    if (record.captured != 0) latency_.add(record.shown - record.captured);
    if (configAt_ != 0) {
        logLine("%s: first picture shown %lld ms after the config", tag_.c_str(),
                static_cast<long long>((record.shown - configAt_) / 1000));
        configAt_ = 0;
    }
    keepRecord(record);
}

}  // namespace tov
