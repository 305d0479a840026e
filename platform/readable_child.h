// A long-lived child process whose output is read as it comes: standard output and error share
// one pipe, standard input is nothing, and there is no console window. Waiting for output costs
// nothing while the child is quiet: read() sleeps until output, the child's end or stop().
#pragma once

#include <memory>
#include <string>

namespace tov {

class ReadableChild {
  public:
    // Null when the child could not be started.
    static std::unique_ptr<ReadableChild> start(const std::wstring& commandLine);

    // Ends the child if it still runs and releases every handle; never waits for the child to
    // finish by itself.
    virtual ~ReadableChild() = default;

    // Waits for output and appends what has arrived to `out` (true). False once the child has
    // ended and everything it wrote has been read, or once stop() was called. Call it from one
    // thread at a time.
    virtual bool read(std::string& out) = 0;

    // Ends the child at once and wakes a read() that waits. Safe from any thread, more than once.
    virtual void stop() = 0;

    // The exit code once the child has ended by itself and read() said so; -1 otherwise (still
    // running, or ended by stop()).
    virtual int exitCode() = 0;
};

}  // namespace tov
