// The App's clipboard port on Windows: the clipboard sync with its own thread.
#include "app/app_parts_win.h"

#include <utility>

#include "clipboard/clipboard_sync.h"

namespace tov {

namespace {

class ClipboardPortWin final : public ClipboardPort {
  public:
    bool running() const override { return running_; }
    void start(ClipItemHandler onPcCopy) override {
        sync_.start(std::move(onPcCopy));
        running_ = true;
    }
    void stop() override {
        sync_.stop();
        running_ = false;
    }
    void setOptions(bool pictures, bool passwords) override { sync_.setOptions(pictures, passwords); }
    void putFromPhone(ClipItem item) override { sync_.putFromPhone(std::move(item)); }

  private:
    ClipboardSync sync_;
    bool running_ = false;  // UI thread only
};

}  // namespace

std::unique_ptr<ClipboardPort> makeClipboardPortWin() {
    return std::make_unique<ClipboardPortWin>();
}

}  // namespace tov
