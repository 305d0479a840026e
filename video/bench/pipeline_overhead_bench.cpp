// What the frame pipeline itself costs per packet: from handing a packet over to the end of its
// present, with a decoder and a presenter that do nothing. The baseline is the bare minimum of
// the same hand-off: a copy into a locked queue and a condition-variable wake of another thread.
// Packets come a millisecond apart, so that (as with a phone's 60 fps) each one finds the video
// thread asleep and pays for waking it.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "video/bench/bench_stats.h"
#include "video/video_pipeline.h"

namespace tov {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kGap{1};

int64_t nowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

class NullDecoder : public FrameDecoder {
  public:
    bool open(int32_t, int32_t, int32_t, int32_t) override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool onGpu() const override { return false; }
    bool decode(const uint8_t*, size_t, int64_t pts, const PictureSink& sink) override {
        sink(true, pts);
        return true;
    }

  private:
    bool open_ = false;
};

class StampingPresenter : public FramePresenter {
  public:
    void setStream(int32_t, int32_t, int32_t) override {}
    void configArrived(int32_t, int32_t) override {}
    void setColour(const PictureColour&) override {}
    void dropPicture() override {}
    bool resizePending() const override { return false; }
    void present() override {
        presentedAt.store(nowNanos());
        presents.fetch_add(1);
    }
    PresenterInfo info() const override { return {}; }
    int takeBltFailures() override { return 0; }
    double monitorRefreshHz() override { return 0.0; }
    std::optional<Bitmap> readPicture() override { return std::nullopt; }

    std::atomic<int64_t> presentedAt{0};
    std::atomic<int> presents{0};
};

bool waitFor(const std::atomic<int>& counter, int value) {
    const auto limit = Clock::now() + std::chrono::seconds(5);
    while (counter.load() < value) {
        if (Clock::now() > limit) return false;
    }
    return true;
}

std::vector<double> measurePipeline(int packets, const std::vector<uint8_t>& payload) {
    NullDecoder decoder;
    StampingPresenter presenter;
    VideoPipeline pipeline(decoder, presenter, {});
    pipeline.start();
    waitFor(presenter.presents, 1);  // the black present at start
    pipeline.onConfig(1080, 2400, 60, 0, payload.data(), 32);
    std::vector<double> micros;
    for (int i = 0; i < packets; ++i) {
        std::this_thread::sleep_for(kGap);
        const int before = presenter.presents.load();
        const int64_t start = nowNanos();
        pipeline.onPacket(payload.data(), payload.size(), i * 16667LL, i % 60 == 0);
        if (!waitFor(presenter.presents, before + 1)) break;
        micros.push_back(static_cast<double>(presenter.presentedAt.load() - start) / 1000.0);
    }
    return micros;
}

std::vector<double> measureBaseline(int packets, const std::vector<uint8_t>& payload) {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::vector<uint8_t>> queue;
    bool stop = false;
    std::atomic<int64_t> doneAt{0};
    std::atomic<int> done{0};
    std::thread worker([&] {
        std::unique_lock lock(mutex);
        for (;;) {
            // The same bounded wait as the video thread's.
            cv.wait_until(lock, Clock::now() + std::chrono::milliseconds(100),
                          [&] { return stop || !queue.empty(); });
            if (stop) return;
            if (queue.empty()) continue;
            std::vector<uint8_t> item = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            doneAt.store(nowNanos());
            done.fetch_add(1);
            lock.lock();
        }
    });
    std::vector<double> micros;
    for (int i = 0; i < packets; ++i) {
        std::this_thread::sleep_for(kGap);
        const int64_t start = nowNanos();
        {
            std::lock_guard lock(mutex);
            queue.emplace_back(payload.begin(), payload.end());
        }
        cv.notify_all();
        if (!waitFor(done, i + 1)) break;
        micros.push_back(static_cast<double>(doneAt.load() - start) / 1000.0);
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
    }
    cv.notify_all();
    worker.join();
    return micros;
}

}  // namespace
}  // namespace tov

int main() {
    using namespace tov;
    // frames.csv is written as in a real run, into a throw-away folder.
    const std::wstring folder = joinPath(tempFolder(), L"tovenmar-pipeline-bench");
    createDirectory(folder);
    setEnv(L"LOCALAPPDATA", folder.c_str());

    const std::vector<uint8_t> payload(20000, 0x5A);  // a typical 1080p P-frame at 8 Mbit/s
    const int packets = 5000;
    measurePipeline(200, payload);  // warm-up
    const std::vector<double> pipeline = measurePipeline(packets, payload);
    const std::vector<double> baseline = measureBaseline(packets, payload);
    removeTree(folder);

    const double pMedian = bench::percentile(pipeline, 0.5);
    const double pP99 = bench::percentile(pipeline, 0.99);
    const double bMedian = bench::percentile(baseline, 0.5);
    const double bP99 = bench::percentile(baseline, 0.99);
    std::printf("packets measured: pipeline %zu, baseline %zu (of %d)\n", pipeline.size(),
                baseline.size(), packets);
    std::printf("pipeline, arrival to present: median %.1f us, p99 %.1f us\n", pMedian, pP99);
    std::printf("baseline, queue hand-off:     median %.1f us, p99 %.1f us\n", bMedian, bP99);
    std::printf("pipeline / baseline: median x%.2f, p99 x%.2f\n",
                bMedian > 0 ? pMedian / bMedian : 0.0, bP99 > 0 ? pP99 / bP99 : 0.0);
    return pipeline.size() == static_cast<size_t>(packets) ? 0 : 1;
}
