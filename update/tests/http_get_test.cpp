#include "update/http_get.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "update/tests/update_test_env.h"

namespace tov {
namespace {

class HttpGetTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(env.server.listening()); }

    std::string pattern(size_t size) {
        std::string s(size, '\0');
        for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i * 31 + (i >> 9));
        return s;
    }

    test::UpdateTestEnv env;
    std::unique_ptr<HttpClient> http = makeHttpClient();
};

TEST_F(HttpGetTest, BodyToMemoryWithTheProgramsHeaders) {
    const std::string url = env.publish("feed", "[1,2,3]");
    std::string body;
    BodySink sink(body, kMaxInMemoryBytes);
    ASSERT_TRUE(http->get(url + "?page=1", sink));
    EXPECT_EQ(body, "[1,2,3]");
    const std::vector<test::HttpRequest> requests = env.server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/feed?page=1");
    EXPECT_EQ(requests[0].headers.at("user-agent"), "Tovenmar/1.1.0");
    EXPECT_EQ(requests[0].headers.at("accept"),
              "application/vnd.github+json, application/octet-stream");
}

TEST_F(HttpGetTest, BodyToFileReportsProgressPerChunk) {
    const std::string content = pattern(300000);
    const std::string url = env.publish("big.exe", content);
    const std::wstring path = env.dir.file(L"big.part");
    std::vector<std::pair<uint64_t, uint64_t>> progress;
    {
        BodySink sink(path, kMaxBuildBytes);
        sink.setProgress([&](uint64_t got, uint64_t length) { progress.push_back({got, length}); });
        ASSERT_TRUE(http->get(url, sink));
    }
    std::string written;
    ASSERT_TRUE(readFile(path, written));
    EXPECT_EQ(written, content);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().first, content.size());
    for (size_t i = 0; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].second, content.size());
        EXPECT_LE(progress[i].first - (i ? progress[i - 1].first : 0), 65536u);
        if (i > 0) {
            EXPECT_GT(progress[i].first, progress[i - 1].first);
        }
    }
}

TEST_F(HttpGetTest, StatusOtherThan200FailsAndIsLogged) {
    env.server.setResponse("/gone", test::answer(404, "nope"));
    env.server.setResponse("/broken", test::answer(500, ""));
    std::string body;
    BodySink sink(body, kMaxInMemoryBytes);
    EXPECT_FALSE(http->get(env.server.url("/gone"), sink));
    BodySink sink2(body, kMaxInMemoryBytes);
    EXPECT_FALSE(http->get(env.server.url("/broken"), sink2));
    EXPECT_NE(env.logText().find("update: 127.0.0.1 answered 404"), std::string::npos);
    EXPECT_NE(env.logText().find("update: 127.0.0.1 answered 500"), std::string::npos);

    // A failed status never creates or truncates the file target.
    const std::wstring path = env.dir.file(L"keep.bin");
    ASSERT_TRUE(writeFile(path, "previous"));
    BodySink fileSink(path, kMaxBuildBytes);
    EXPECT_FALSE(http->get(env.server.url("/gone"), fileSink));
    std::string kept;
    ASSERT_TRUE(readFile(path, kept));
    EXPECT_EQ(kept, "previous");
}

TEST_F(HttpGetTest, UnreachableOrMalformedAddressesFail) {
    std::string body;
    uint16_t closedPort = 0;
    {
        auto listener = TcpListener::listenLoopback(0);
        ASSERT_TRUE(listener);
        closedPort = listener->port();
    }
    for (const std::string& url :
         {"http://127.0.0.1:" + std::to_string(closedPort) + "/feed", std::string("not a url"),
          std::string(""), std::string("file:///etc/hostname")}) {
        BodySink sink(body, kMaxInMemoryBytes);
        EXPECT_FALSE(http->get(url, sink)) << url;
    }
}

TEST_F(HttpGetTest, BodiesPastTheBoundOrTheirLengthFailCleanly) {
    const std::wstring path = env.dir.file(L"part");
    std::string body;
    // Announced larger than allowed: refused before any byte is written.
    env.server.setResponse("/huge", test::withLength("abc", uint64_t{kMaxBuildBytes} + 1));
    {
        BodySink sink(path, kMaxBuildBytes);
        EXPECT_FALSE(http->get(env.server.url("/huge"), sink));
    }
    EXPECT_FALSE(isFile(path));
    EXPECT_NE(env.logText().find("is more than Tovenmar accepts"), std::string::npos);

    // No length announced, and more arrives than the bound allows.
    env.server.setResponse("/endless", test::withoutLength(pattern(200000)));
    {
        BodySink sink(path, 100000);
        EXPECT_FALSE(http->get(env.server.url("/endless"), sink));
        EXPECT_LE(sink.received(), 100000u);
    }
    // The same body within the bound is fine: the end of the connection ends it.
    {
        BodySink sink(body, 300000);
        EXPECT_TRUE(http->get(env.server.url("/endless"), sink));
        EXPECT_EQ(body.size(), 200000u);
    }
    // Shorter than announced: the connection closed early.
    env.server.setResponse("/short", test::withLength(pattern(1000), uint64_t{5000}));
    {
        BodySink sink(path, kMaxBuildBytes);
        EXPECT_FALSE(http->get(env.server.url("/short"), sink));
    }
}

// A server that never answers and one that drips its body (whole after 3 s): the GET ends at its
// deadline. It runs on a thread so that the server can be let go whatever happens.
TEST_F(HttpGetTest, ADeadlineEndsTheGetWhateverTheServerDoes) {
    for (const test::HttpResponse& response :
         {test::held("late"), test::dripping(pattern(30), 100)}) {
        SCOPED_TRACE(response.hold ? "never answers" : "drips");
        env.server.setResponse("/slow", response);
        std::string body;
        BodySink sink(body, kMaxInMemoryBytes);
        sink.setDeadline(BodySink::Clock::now() + std::chrono::milliseconds(400));
        std::atomic<bool> done{false};
        bool result = true;
        std::thread getter([&] {
            result = http->get(env.server.url("/slow"), sink);
            done = true;
        });
        EXPECT_TRUE(test::waitFor([&] { return done.load(); }, 10000));
        env.server.release();
        getter.join();
        EXPECT_FALSE(result);
        EXPECT_TRUE(sink.pastDeadline());
        ASSERT_TRUE(env.server.waitUntilIdle(20000));
    }
}

TEST_F(HttpGetTest, CancelEndsAGetUnderWayAndRefusesLaterOnesUntilResumed) {
    env.server.setResponse("/held", test::held("late"));
    std::atomic<bool> done{false};
    bool result = true;
    std::thread getter([&] {
        std::string body;
        BodySink sink(body, kMaxInMemoryBytes);
        result = http->get(env.server.url("/held"), sink);
        done = true;
    });
    ASSERT_TRUE(env.server.waitUntilHolding(20000));
    http->cancel();
    EXPECT_TRUE(test::waitFor([&] { return done.load(); }, 10000));  // the server still holds
    env.server.release();
    getter.join();
    EXPECT_FALSE(result);
    ASSERT_TRUE(env.server.waitUntilIdle(20000));

    // Later GETs fail without a request until resume().
    const std::string url = env.publish("feed", "[]");
    std::string body;
    {
        BodySink sink(body, kMaxInMemoryBytes);
        EXPECT_FALSE(http->get(url, sink));
    }
    EXPECT_EQ(env.server.requestCount("/feed"), 0);
    http->resume();
    BodySink sink(body, kMaxInMemoryBytes);
    EXPECT_TRUE(http->get(url, sink));
    EXPECT_EQ(body, "[]");
}

TEST(BodySink, EnforcesItsLimitsWithoutANetwork) {
    std::string memory;
    {
        BodySink sink(memory, 10);
        ASSERT_TRUE(sink.begin(std::nullopt));
        EXPECT_TRUE(sink.write("12345", 5));
        EXPECT_TRUE(sink.write("67890", 5));
        EXPECT_FALSE(sink.write("1", 1));
        EXPECT_FALSE(sink.write("", 0));  // stays failed
        EXPECT_FALSE(sink.finish());
    }
    {
        BodySink sink(memory, 100);
        ASSERT_TRUE(sink.begin(uint64_t{4}));
        EXPECT_FALSE(sink.write("12345", 5));  // longer than its Content-Length
        EXPECT_FALSE(sink.finish());
    }
    {
        BodySink sink(memory, 100);
        ASSERT_TRUE(sink.begin(uint64_t{4}));
        EXPECT_TRUE(sink.write("1234", 4));
        EXPECT_TRUE(sink.finish());
        EXPECT_EQ(memory, "1234");
    }
    {
        bool go = true;
        BodySink sink(memory, 100);
        sink.setKeepGoing([&] { return go; });
        ASSERT_TRUE(sink.begin(std::nullopt));
        EXPECT_TRUE(sink.write("12", 2));
        go = false;
        EXPECT_FALSE(sink.write("34", 2));
        EXPECT_FALSE(sink.finish());
    }
    {
        BodySink sink(memory, 100);
        sink.setDeadline(BodySink::Clock::now() + std::chrono::hours(1));
        ASSERT_TRUE(sink.begin(std::nullopt));
        EXPECT_TRUE(sink.write("12", 2));
        sink.setDeadline(BodySink::Clock::now() - std::chrono::milliseconds(1));
        EXPECT_TRUE(sink.pastDeadline());
        EXPECT_FALSE(sink.write("34", 2));  // a chunk after the deadline is refused
        EXPECT_FALSE(sink.finish());
    }
    test::TempDir dir;
    BodySink unopened(dir.file(L"x"), 100);
    EXPECT_FALSE(unopened.finish());
    BodySink noFolder(dir.file(L"missing") + L"/x", 100);
    EXPECT_FALSE(noFolder.begin(std::nullopt));
}

}  // namespace
}  // namespace tov
