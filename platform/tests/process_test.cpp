#include "platform/process.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/readable_child.h"
#include "platform/socket.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

std::wstring childLine(const std::wstring& args) {
    return L"\"" + test::siblingProgram(L"tov_test_child") + L"\" " + args;
}

TEST(CommandLine, SplitsWithTheWindowsRules) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(splitCommandLine(L"\"C:\\a b\\adb.exe\" -s X shell"),
              (V{L"C:\\a b\\adb.exe", L"-s", L"X", L"shell"}));
    EXPECT_EQ(splitCommandLine(L"p \"a b\" c\\d"), (V{L"p", L"a b", L"c\\d"}));
    EXPECT_EQ(splitCommandLine(L"p a\\\\\"b c\""), (V{L"p", L"a\\b c"}));
    EXPECT_EQ(splitCommandLine(L"p a\\\"b"), (V{L"p", L"a\"b"}));
    EXPECT_EQ(splitCommandLine(L"p \"say \"\"hi\"\"\""), (V{L"p", L"say \"hi\""}));
    EXPECT_EQ(splitCommandLine(L"p   \t x  "), (V{L"p", L"x"}));
    EXPECT_EQ(splitCommandLine(L"p \"\""), (V{L"p", L""}));
}

TEST(RunCommand, CapturesLargeOutputWhole) {
    std::string out;
    const RunResult r = runCommand(childLine(L"100000 0 0"), &out, 10000);
    ASSERT_TRUE(r.started);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.exitCode, 0u);
    ASSERT_EQ(out.size(), 100001u);
    EXPECT_EQ(out.substr(0, 12), "012345678901");
    EXPECT_EQ(out.back(), '|');
}

TEST(RunCommand, CombinesStdoutAndStderrInArrivalOrder) {
    std::string out;
    ASSERT_TRUE(runCommand(childLine(L"5 0 0 3"), &out, 10000).exited);
    EXPECT_EQ(out, "01234EEE|");
}

TEST(RunCommand, ReportsTheExitCode) {
    std::string out;
    const RunResult r = runCommand(childLine(L"3 0 7"), &out, 10000);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.exitCode, 7u);
    EXPECT_EQ(out, "012|");
}

TEST(RunCommand, TerminatesPastTheLimitAndKeepsPartialOutput) {
    std::string out;
    const uint64_t start = tickMs();
    const RunResult r = runCommand(childLine(L"10 20000 0"), &out, 500);
    const uint64_t elapsed = tickMs() - start;
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.exited);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(out, "0123456789|");
    EXPECT_LT(elapsed, 10000u);
}

TEST(RunCommand, ACancelFromAnotherThreadEndsTheChildAndStartsNoMore) {
    CommandCancel cancel;
    const CommandCancelScope scope(cancel);
    std::thread canceller([&] {
        sleepMs(300);
        cancel.cancel();
    });
    const uint64_t start = tickMs();
    std::string out;
    const RunResult r = runCommand(childLine(L"10 600000 0"), &out, 600000);
    canceller.join();
    EXPECT_FALSE(r.exited);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_LT(tickMs() - start, 300000u);  // well before the child's ten minutes
    const RunResult after = runCommand(childLine(L"0 0 0"), nullptr, 10000);
    EXPECT_FALSE(after.started);
}

TEST(RunCommand, MissingProgramDoesNotStartAndLeavesOutputAlone) {
    std::string out = "untouched";
    const RunResult r =
        runCommand(L"\"" + test::siblingProgram(L"no_such_program") + L"\" x", &out, 1000);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(out, "untouched");
}

// A child gets its own pipe and nothing else of the program's: a connection the program closes
// ends at once for its peer, even while a long-lived child (an adb server) runs on.
TEST(RunCommand, AChildHoldsNoConnectionOfTheProgram) {
    ASSERT_TRUE(initSockets());
    std::unique_ptr<TcpListener> listener = TcpListener::listenLoopback(0);
    ASSERT_TRUE(listener);
    std::unique_ptr<TcpSocket> ours = TcpSocket::connectLoopback(listener->port());
    ASSERT_TRUE(ours);
    std::unique_ptr<TcpSocket> peer = listener->accept(10000);
    ASSERT_TRUE(peer);
    peer->setReceiveTimeout(10000);
    RecvStatus seen = RecvStatus::Failed;
    bool checked = false;
    runCommand(childLine(L"0 600000 0"), nullptr, 600000, [&] {
        if (checked) return false;
        checked = true;
        ours.reset();  // closed while the child runs
        char byte = 0;
        seen = peer->receive(&byte, 1).status;
        return false;
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(seen, RecvStatus::Closed);
}

TEST(ChildProcess, RunsPollsAndTerminates) {
    auto child = ChildProcess::start(childLine(L"0 20000 0"));
    ASSERT_TRUE(child);
    EXPECT_TRUE(child->running());
    EXPECT_EQ(child->exitCode(), -1);
    child->terminate(1);
    EXPECT_TRUE(child->wait(5000));
    EXPECT_FALSE(child->running());
}

TEST(ChildProcess, ReportsItsExitCodeAndWritesAnOutputFile) {
    test::TempDir dir;
    auto child = ChildProcess::start(childLine(L"4 0 3"), dir.file(L"out.txt"));
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->wait(10000));
    EXPECT_EQ(child->exitCode(), 3);
    child.reset();
    std::string text;
    ASSERT_TRUE(readFile(dir.file(L"out.txt"), text));
    EXPECT_EQ(text, "0123|");
}

TEST(ReadableChild, ReadsAllOutputAsItComesThenTheEndAndTheExitCode) {
    auto child = ReadableChild::start(childLine(L"100000 0 3 3"));
    ASSERT_TRUE(child);
    std::string out;
    int reads = 0;
    while (child->read(out)) ++reads;
    EXPECT_GT(reads, 0);
    ASSERT_EQ(out.size(), 100004u);
    EXPECT_EQ(out.substr(out.size() - 4), "EEE|");
    EXPECT_EQ(child->exitCode(), 3);
    EXPECT_FALSE(child->read(out));  // the end stays the end
}

// A quiet child is ended by a stop from another thread, which wakes the read that waits for it;
// the object then goes without waiting for the child's ten minutes.
TEST(ReadableChild, StopEndsAQuietChildAndWakesTheRead) {
    auto child = ReadableChild::start(childLine(L"0 600000 0"));
    ASSERT_TRUE(child);
    std::string out;
    ASSERT_TRUE(child->read(out));
    EXPECT_EQ(out, "|");
    const uint64_t start = tickMs();
    std::thread stopper([&] {
        sleepMs(200);
        child->stop();
    });
    EXPECT_FALSE(child->read(out));
    stopper.join();
    EXPECT_EQ(child->exitCode(), -1);
    child.reset();
    EXPECT_LT(tickMs() - start, 300000u);  // well before the child's ten minutes

    // Stopped before anything was read, and destroyed while running: neither waits.
    auto other = ReadableChild::start(childLine(L"0 600000 0"));
    ASSERT_TRUE(other);
    other->stop();
    EXPECT_FALSE(other->read(out));
    other = ReadableChild::start(childLine(L"0 600000 0"));
    other.reset();
    EXPECT_FALSE(ReadableChild::start(L"\"" + test::siblingProgram(L"no_such_program") + L"\""));
}

}  // namespace
}  // namespace tov
