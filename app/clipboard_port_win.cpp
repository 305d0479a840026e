// The App's clipboard port on Windows: the clipboard sync with its own thread.
#include <utility>

#include "app/app_parts_win.h"
#include "clipboard/clipboard_sync.h"

namespace tov {

namespace {

class ClipboardPortWin final : public ClipboardPort {
  public:
    bool running() const override { return sync_.running(); }
    void start(ClipItemHandler onPcCopy) override { sync_.start(std::move(onPcCopy)); }
    void stop() override { sync_.stop(); }
    void setOptions(bool pictures, bool passwords) override {
        sync_.setOptions(pictures, passwords);
    }
    void putFromPhone(ClipItem item) override { sync_.putFromPhone(std::move(item)); }

  private:
    ClipboardSync sync_;
};

}  // namespace

std::unique_ptr<ClipboardPort> makeClipboardPortWin() {
    return std::make_unique<ClipboardPortWin>();
}

}  // namespace tov
