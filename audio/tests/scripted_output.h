// A sound output whose devices the test controls: opening can be refused, an open device can be
// made to fail its next padding or buffer request, and every frame a device accepts is kept.
// Devices report an empty buffer at every event, so each pass may write a whole buffer.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "audio/audio_output.h"

namespace tov::test {

class DeviceLab {
  public:
    enum class Fault { none, padding, getBuffer };

    // Whether open succeeds from now on.
    void setOpens(bool opens);
    // The open device (and every later one, while set) fails in the given way.
    void setFault(Fault fault);
    // Only the device open now fails in the given way, like one that was unplugged; the next
    // device opened works, so a reopen cannot race the test taking the fault away.
    void breakOpenDevice(Fault fault);

    int openAttempts() const;
    int opened() const;
    std::vector<int16_t> received() const;  // every accepted sample, in order
    // Waits (with a generous limit against hangs) until the condition on the lab holds.
    bool waitFor(const std::function<bool(const DeviceLab&)>& condition) const;

    std::unique_ptr<AudioOutput> makeOutput();

  private:
    friend class ScriptedEndpoint;
    friend class ScriptedOutput;
    int tryOpen();  // the number of the device opened, from 1; 0 when refused
    Fault faultFor(int device) const;  // device: the number it was opened as, from 1
    void accept(const int16_t* samples, size_t count);

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    bool opens_ = true;
    Fault fault_ = Fault::none;
    Fault brokenFault_ = Fault::none;
    int brokenDevice_ = 0;
    int openAttempts_ = 0;
    int opened_ = 0;
    std::vector<int16_t> received_;
};

}  // namespace tov::test
