// Several streams share one PC: its decoder, its GPU and its cores. Each stream's adapter puts
// on the board what its stream cost the PC in the last second and reads what the others cost,
// so that every adapter sees the whole PC's load, not only its own. When the PC is over its
// limit, the costliest stream that still has a cheaper size steps down first and the others
// hold, so that two adapters never both step down for the same overload.
#pragma once

#include <map>
#include <mutex>

namespace tov {

class PcLoadBoard {
  public:
    struct Share {
        double othersLoad = 0;  // the other streams' load, as a share of a second
        bool givesWay = true;   // this stream is the one to step down
    };

    // A new stream's place on the board.
    int join();
    void leave(int id);
    // The last second of stream `id`: decode and present as a share of a second (negative:
    // unknown, it counts as nothing), and whether it has a cheaper size left.
    void report(int id, double load, bool canStepDown);
    Share shareOf(int id) const;

  private:
    struct Entry {
        double load = 0;
        bool canStepDown = false;
    };
    mutable std::mutex lock_;
    std::map<int, Entry> entries_;
    int next_ = 1;
};

}  // namespace tov
