#include <gtest/gtest.h>

#include "core/json.h"

namespace tov {
namespace {

JsonValue parseOk(const std::string& text) {
    JsonValue v;
    EXPECT_TRUE(parseJson(text, v)) << text;
    return v;
}

bool fails(const std::string& text) {
    JsonValue v;
    return !parseJson(text, v);
}

TEST(Json, EmptyContainersWithWhitespaceEverywhere) {
    EXPECT_EQ(parseOk(" \t\r\n[ \n ] ").kind, JsonValue::Array);
    const JsonValue o = parseOk("{ }");
    EXPECT_EQ(o.kind, JsonValue::Object);
    EXPECT_TRUE(o.members.empty());
    const JsonValue nested = parseOk("{ \"a\" \n: [ 1 , { \"b\" : null } ] }");
    ASSERT_EQ(nested.members.at("a").items.size(), 2u);
    EXPECT_EQ(nested.members.at("a").items[1].members.at("b").kind, JsonValue::Null);
}

TEST(Json, NumbersKeepTheirSpelling) {
    const JsonValue a = parseOk("[1, 2.50, -3e2]");
    ASSERT_EQ(a.items.size(), 3u);
    EXPECT_EQ(a.items[0].text, "1");
    EXPECT_EQ(a.items[1].text, "2.50");
    EXPECT_EQ(a.items[2].text, "-3e2");
    for (const auto& item : a.items) EXPECT_EQ(item.kind, JsonValue::Number);
    EXPECT_EQ(parseOk("1e").text, "1e");  // form is not checked
}

TEST(Json, LiteralsCompareOnlyTheirOwnBytes) {
    EXPECT_TRUE(parseOk("true").flag);
    EXPECT_EQ(parseOk("false").kind, JsonValue::Boolean);
    EXPECT_FALSE(parseOk("false").flag);
    EXPECT_TRUE(fails("tru"));
    JsonValue v;
    std::string text = "nullx";
    JsonReader r2(text);
    ASSERT_TRUE(r2.parseValue(v));
    EXPECT_EQ(v.kind, JsonValue::Null);
    EXPECT_EQ(r2.position(), 4u);
    EXPECT_TRUE(fails("[truex]"));
}

TEST(Json, LaterDuplicateMemberWins) {
    const JsonValue o = parseOk("{\"a\":1,\"a\":2}");
    ASSERT_EQ(o.members.size(), 1u);
    EXPECT_EQ(o.members.at("a").text, "2");
    ASSERT_NE(o.find("a"), nullptr);
    EXPECT_EQ(o.find("b"), nullptr);
}

TEST(Json, MembersAreSortedByteWise) {
    const JsonValue o = parseOk("{\"b\":1,\"B\":2,\"a\":3}");
    std::string order;
    for (const auto& [k, v] : o.members) order += k;
    EXPECT_EQ(order, "Bab");
}

TEST(Json, StringEscapes) {
    EXPECT_EQ(parseOk("\"x\\r\\ny\"").text, "x\ny");
    EXPECT_EQ(parseOk("\"\\b\\f\\t\"").text, "\t");
    EXPECT_EQ(parseOk("\"\\\"\\\\\\/\\q\"").text, "\"\\/q");
    EXPECT_EQ(parseOk("\"\\u00e9\"").text, "\xC3\xA9");
    EXPECT_EQ(parseOk("\"\\ud83d\\ude00\"").text, "\xF0\x9F\x98\x80");
    EXPECT_EQ(parseOk("\"\\ud83d\"").text, "\xED\xA0\xBD");  // a lone surrogate: 3 bytes
    EXPECT_EQ(parseOk("\"\\u0041\\u20AC\"").text, "A\xE2\x82\xAC");
    // Only the leading hexadecimal digits count, but all four bytes are used up.
    EXPECT_EQ(parseOk("\"\\u4zzzA\"").text, "\x04" "A");
    EXPECT_EQ(parseOk("\"raw \xC3\xA9 bytes\"").text, "raw \xC3\xA9 bytes");
}

TEST(Json, MalformedDocumentsFail) {
    EXPECT_TRUE(fails("[1,2,]"));
    EXPECT_TRUE(fails("{\"a\" 1}"));
    EXPECT_TRUE(fails("{a:1}"));
    EXPECT_TRUE(fails("\"no end"));
    EXPECT_TRUE(fails("[1 2]"));
    EXPECT_TRUE(fails("["));
    EXPECT_TRUE(fails("{\"a\":1"));
    EXPECT_TRUE(fails(""));
    EXPECT_TRUE(fails("   "));
    EXPECT_TRUE(fails("]"));
    EXPECT_TRUE(fails("\"\\"));
    EXPECT_TRUE(fails("\"\\u12\""));
}

TEST(Json, BrokenUnicodeEscapeIsAFailedParse) {
    EXPECT_TRUE(fails("\"\\uzzzz\""));
    EXPECT_TRUE(fails("\"\\ud83d\\uxxxx\""));
}

TEST(Json, TextAfterTheTopLevelValueIsIgnored) {
    const JsonValue a = parseOk("[1] trailing {garbage");
    EXPECT_EQ(a.items.size(), 1u);
}

TEST(Json, HostileNestingFailsCleanly) {
    EXPECT_TRUE(fails(std::string(1000000, '[')));
    EXPECT_TRUE(fails(std::string(1000000, '{')));
    std::string deepButFine(JsonReader::kMaxDepth, '[');
    deepButFine += std::string(JsonReader::kMaxDepth, ']');
    parseOk(deepButFine);
    std::string tooDeep(JsonReader::kMaxDepth + 1, '[');
    tooDeep += std::string(JsonReader::kMaxDepth + 1, ']');
    EXPECT_TRUE(fails(tooDeep));
}

}  // namespace
}  // namespace tov
