// The shared clipboard on the PC side: a clipboard thread with a hidden listener window that
// reads every fresh PC copy for the phone and writes the phone's copies onto the PC clipboard.
// Every clipboard call happens on that thread; other threads only start, stop, set the options
// and hand over phone copies.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "clipboard/clip_item.h"
#include "clipboard/clipboard_transfer.h"

namespace tov {

class ClipboardSync {
  public:
    ClipboardSync() = default;
    ~ClipboardSync() { stop(); }
    ClipboardSync(const ClipboardSync&) = delete;
    ClipboardSync& operator=(const ClipboardSync&) = delete;

    // Starts the clipboard thread with the callback that receives PC copies for the phone (on
    // the clipboard thread). A running thread keeps its callback.
    void start(ClipItemHandler onPcCopy);
    // Ends the thread; phone copies still waiting for it are dropped.
    void stop();
    void setOptions(bool sharePictures, bool sharePasswords);
    // Hands a phone copy to the clipboard thread; dropped when no thread runs.
    void putFromPhone(ClipItem item);
    // Started and not stopped since, also while the thread still gets ready: an owner that
    // decides by this whether to stop never leaves a starting thread behind.
    bool running() const { return started_.load(); }
    // The thread is listening to the clipboard and takes phone copies.
    bool listening() const { return threadId_.load() != 0; }
    // How many settled clipboard changes the thread has looked at, sent or not.
    uint64_t readsDone() const { return transfer_.readsDone(); }

  private:
    void run();

    ClipboardTransfer transfer_;
    std::thread thread_;
    std::atomic<bool> started_{false};
    // Published once the thread has its window and message queue; 0 while no thread runs.
    std::atomic<uint32_t> threadId_{0};
    // Keeps a hand-over from racing the thread's end, so that no copy is posted to a thread
    // that no longer reads its queue.
    std::mutex postLock_;
};

}  // namespace tov
