#include "update/feed.h"

#include <gtest/gtest.h>

#include "update/tests/update_test_env.h"

namespace tov {
namespace {

using test::feedJson;
using test::FeedRelease;

FeedRelease release(const std::string& tag, const std::string& body = "notes") {
    return {tag,
            {{"Tovenmar.exe", "https://x/" + tag + ".exe"},
             {"Tovenmar.exe.sig", "https://x/" + tag + ".sig"}},
            body};
}

TEST(Feed, PublishedNewerReleasesGiveNotesAndTheHighestIsBest) {
    FeedRelease draft = release("9.0.0");
    draft.draft = true;
    FeedRelease pre = release("v8.0.0");
    pre.prerelease = true;
    const FeedReading r =
        readFeed(feedJson({release("v1.2.0", "## Two"), draft, pre, release("1.1.0"),
                           release("1.0.0"), release("v1.3.0", "- three"), release("1.2.5", "")}),
                 "1.1.0");
    ASSERT_TRUE(r.valid);
    ASSERT_EQ(r.notes.size(), 2u);  // 1.2.5 has an empty body
    EXPECT_EQ(r.notes[0].version, "1.2.0");
    EXPECT_EQ(r.notes[0].text, "Two");
    EXPECT_EQ(r.notes[1].version, "1.3.0");
    EXPECT_EQ(r.notes[1].text, "\xE2\x80\xA2  three");
    EXPECT_EQ(r.bestVersion, "1.3.0");
    EXPECT_EQ(r.buildUrl, "https://x/v1.3.0.exe");
    EXPECT_EQ(r.signatureUrl, "https://x/v1.3.0.sig");
}

TEST(Feed, NothingNewerLeavesNoBest) {
    FeedRelease pre = release("2.0.0");
    pre.prerelease = true;
    const FeedReading r = readFeed(feedJson({release("v1.1.0"), pre, release("")}), "1.1.0");
    EXPECT_TRUE(r.valid);
    EXPECT_TRUE(r.bestVersion.empty());
    EXPECT_TRUE(r.notes.empty());
}

TEST(Feed, FirstOfEqualTagsStaysBestAndALaterDuplicateAssetWins) {
    FeedRelease first = release("1.2.0");
    first.assets.push_back({"Tovenmar.exe", "https://x/later.exe"});
    first.assets.push_back({"tovenmar.exe.sig", "https://x/wrong-case.sig"});
    const FeedReading r = readFeed(feedJson({first, release("v1.2.0")}), "1.1.0");
    EXPECT_EQ(r.bestVersion, "1.2.0");
    EXPECT_EQ(r.buildUrl, "https://x/later.exe");
    EXPECT_EQ(r.signatureUrl, "https://x/1.2.0.sig");
}

TEST(Feed, MissingAssetsLeaveEmptyAddresses) {
    FeedRelease noSig = release("1.2.0");
    noSig.assets.pop_back();
    const FeedReading r = readFeed(feedJson({noSig}), "1.1.0");
    EXPECT_EQ(r.bestVersion, "1.2.0");
    EXPECT_FALSE(r.buildUrl.empty());
    EXPECT_TRUE(r.signatureUrl.empty());

    const FeedReading bare = readFeed(R"([{"tag_name":"1.4.0","assets":{"name":"x"}}])", "1.1.0");
    EXPECT_EQ(bare.bestVersion, "1.4.0");
    EXPECT_TRUE(bare.buildUrl.empty());
}

TEST(Feed, TagsThatAreNotPlainVersionsAreLeftOut) {
    const FeedReading r = readFeed(feedJson({release("1.2.0/../../x"), release("v1.5.0\\..\\..\\y"),
                                             release("1.3.0-beta"), release("1.2.1")}),
                                   "1.1.0");
    EXPECT_EQ(r.oddTags, 3);
    EXPECT_EQ(r.bestVersion, "1.2.1");
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_EQ(r.notes[0].version, "1.2.1");
}

TEST(Feed, TextThatIsNotAnArrayIsInvalid) {
    for (const char* text : {"", "{}", "{\"tag_name\":\"2.0.0\"}", "[{", "null", "\"[]\""}) {
        EXPECT_FALSE(readFeed(text, "1.1.0").valid) << text;
    }
    // Odd members are skipped, not fatal.
    const FeedReading r = readFeed(
        R"([1, "x", {"tag_name": 2}, {"tag_name":"1.2.0","draft":"yes","body":7}])", "1.1.0");
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.bestVersion, "1.2.0");
    EXPECT_TRUE(r.notes.empty());
}

}  // namespace
}  // namespace tov
