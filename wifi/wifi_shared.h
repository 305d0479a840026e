// What the Wi-Fi subsystem's two sides share under one lock: the panel's operations queued for
// the worker, the state published to the panel, and what the App tells the worker (the phone
// list, the "Use Wi-Fi" switch, the phone streaming over its cable). Everything else the worker
// knows is its own (WifiWorker), out of reach of every other thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/panel_model.h"
#include "core/wifi_state.h"
#include "platform/process.h"

namespace tov {

class WifiWorker;

class WifiShared {
  public:
    using Job = std::function<void(WifiWorker&)>;

    // Called on the worker thread after the state changed.
    std::function<void()> onChange;

    // Queues an operation. One of the user's (`user`) comes before any background work: a
    // background try in flight ends at once and is tried again after.
    void post(Job job, bool user);
    // The worker's wait: the next job, or false once stopping. A job stays empty when `wakeAtMs`
    // came first.
    bool nextJob(uint64_t wakeAtMs, Job& job);
    // Ends every command in flight and wakes the worker for good.
    void stop();
    // Waits up to ms; false when the operation was cancelled or the worker stops.
    bool pause(uint32_t ms, const CommandCancel& cancel);

    // The cancel every command the worker runs honours: stop() fires it.
    const CommandCancel& work() const { return *work_; }
    // A cancel for one background try: stop() and the user's operations fire it (at once when
    // one is already waiting).
    std::shared_ptr<CommandCancel> backgroundTry();

    WifiState state() const;
    void publish(const std::function<void(WifiState&)>& edit);
    // Edits the card's part only while `generation` is the open card.
    void publishCard(uint64_t generation, const std::function<void(WifiState&)>& edit);

    // The card: each open and close makes a new generation and ends the last one's commands.
    struct Card {
        uint64_t generation = 0;
        std::shared_ptr<CommandCancel> cancel;
    };
    Card openCard();
    void closeCard();
    // The open card, or a fresh cancel for the current generation (typed codes without a card).
    Card currentCard();
    bool cardIsOpen(uint64_t generation) const;
    // The card's step as the panel has it.
    WifiStep shownStep() const;

    struct Inputs {
        // Until told, nothing: connecting a listed phone is harmless.
        std::vector<PhoneEntry> listed;
        bool useWifi = false;
        std::string cableKey;  // the phone whose stream runs over its cable
    };
    Inputs inputs() const;
    void setListed(const std::vector<PhoneEntry>& phones);
    void setUseWifi(bool on);
    void setCableKey(const std::string& key);

  private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    WifiState state_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    const std::shared_ptr<CommandCancel> work_ = std::make_shared<CommandCancel>();
    std::shared_ptr<CommandCancel> background_;
    uint64_t cardGeneration_ = 0;
    std::shared_ptr<CommandCancel> cardCancel_;
    Inputs inputs_;
};

}  // namespace tov
