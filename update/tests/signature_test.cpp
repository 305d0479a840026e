#include "update/signature.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/test_support.h"
#include "tools/release/signing.h"
#include "update/tests/update_test_env.h"

namespace tov {
namespace {

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// r||s as DER, the form most tools print: SEQUENCE of two INTEGERs.
std::string derFromRaw(const std::string& raw) {
    auto integer = [](std::string value) {
        while (value.size() > 1 && value[0] == '\0' && !(value[1] & 0x80)) value.erase(0, 1);
        if (value[0] & 0x80) value.insert(value.begin(), '\0');
        return std::string{'\x02', static_cast<char>(value.size())} + value;
    };
    const std::string body = integer(raw.substr(0, 32)) + integer(raw.substr(32));
    return std::string{'\x30', static_cast<char>(body.size())} + body;
}

std::string base64(const std::string& bytes) {
    static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
        out += table[(n >> 18) & 63];
        out += table[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? table[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? table[n & 63] : '=';
    }
    return out;
}

class SignatureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(test::testPublicKey().size(), kPublicKeyBlobBytes);
        // Spans several hash blocks and ends part-way through one.
        for (size_t i = 0; i < 2 * kHashBlockBytes + 12345; ++i) {
            content.push_back(static_cast<char>((i * 7919) >> 3));
        }
        ASSERT_TRUE(writeFile(build, content));
        signature = release::signFile(test::testPrivateKey(), build);
        ASSERT_EQ(signature.size(), kSignatureBytes);
    }

    test::TempDir dir;
    std::wstring build = dir.file(L"Tovenmar-1.2.0.exe");
    std::string content;
    std::string signature;
};

TEST(Sha256, KnownAnswers) {
    test::TempDir dir;
    const std::wstring path = dir.file(L"f.bin");
    ASSERT_TRUE(writeFile(path, ""));
    EXPECT_EQ(hex(fileSha256(path)),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    ASSERT_TRUE(writeFile(path, "abc"));
    EXPECT_EQ(hex(fileSha256(path)),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Exactly one block, then one block and a byte: the block boundary loses nothing.
    ASSERT_TRUE(writeFile(path, std::string(kHashBlockBytes, 'a')));
    EXPECT_EQ(hex(fileSha256(path)),
              "9bc1b2a288b26af7257a36277ae3816a7d4f16e89c1e7e77d0a5c48bad62b360");
    ASSERT_TRUE(writeFile(path, std::string(kHashBlockBytes + 1, 'a')));
    EXPECT_EQ(hex(fileSha256(path)),
              "4a3f0c0c213adea174f9a3d4c13177315b588bdb2e9c1012d3d0bf0453ca0f6a");
    EXPECT_TRUE(fileSha256(dir.file(L"missing.bin")).empty());
}

TEST_F(SignatureTest, MatchingSignatureVerifiesAndAnyFlippedByteFails) {
    EXPECT_TRUE(verifyBuild(build, signature, test::testPublicKey()));

    for (size_t at : {size_t{0}, kHashBlockBytes, content.size() - 1}) {
        std::string changed = content;
        changed[at] ^= 0x01;
        ASSERT_TRUE(writeFile(build, changed));
        EXPECT_FALSE(verifyBuild(build, signature, test::testPublicKey())) << "file byte " << at;
    }
    ASSERT_TRUE(writeFile(build, content));
    for (size_t at : {size_t{0}, size_t{31}, size_t{32}, size_t{63}}) {
        std::string changed = signature;
        changed[at] ^= 0x80;
        EXPECT_FALSE(verifyBuild(build, changed, test::testPublicKey())) << "signature byte " << at;
    }
    // A longer file with the same start is a different file.
    ASSERT_TRUE(writeFile(build, content + "x"));
    EXPECT_FALSE(verifyBuild(build, signature, test::testPublicKey()));
}

TEST_F(SignatureTest, OnlyTheRawSixtyFourByteFormPassesTheLengthTest) {
    // The same valid signature in other encodings, and truncated or padded forms.
    const std::string der = derFromRaw(signature);
    ASSERT_GE(der.size(), 70u);
    ASSERT_LE(der.size(), 72u);
    EXPECT_FALSE(verifyBuild(build, der, test::testPublicKey()));
    EXPECT_FALSE(verifyBuild(build, base64(signature), test::testPublicKey()));
    EXPECT_FALSE(verifyBuild(build, signature.substr(0, 63), test::testPublicKey()));
    EXPECT_FALSE(verifyBuild(build, signature + '\0', test::testPublicKey()));
    EXPECT_FALSE(verifyBuild(build, "", test::testPublicKey()));
}

TEST_F(SignatureTest, WrongOrBrokenKeysAndMissingFilesFail) {
    const std::string otherKey = release::publicKeyOf(release::generatePrivateKey());
    ASSERT_EQ(otherKey.size(), kPublicKeyBlobBytes);
    EXPECT_FALSE(verifyBuild(build, signature, otherKey));
    EXPECT_FALSE(verifyBuild(build, signature, releasePublicKey()));

    std::string badMagic = test::testPublicKey();
    badMagic[3] = '2';
    EXPECT_FALSE(verifyBuild(build, signature, badMagic));
    std::string offCurve = test::testPublicKey();
    offCurve[40] ^= 0x01;
    EXPECT_FALSE(verifyBuild(build, signature, offCurve));
    EXPECT_FALSE(verifyBuild(build, signature, test::testPublicKey().substr(0, 71)));
    EXPECT_FALSE(verifyBuild(build, signature, ""));

    EXPECT_FALSE(verifyBuild(dir.file(L"missing.exe"), signature, test::testPublicKey()));
}

TEST_F(SignatureTest, AFileOpenForWritingElsewhereCanStillBeChecked) {
    FILE* writer = openSharedFile(build, L"ab");
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(verifyBuild(build, signature, test::testPublicKey()));
    std::fclose(writer);
}

TEST(ReleaseKey, IsAPublicP256Blob) {
    const std::string key = releasePublicKey();
    ASSERT_EQ(key.size(), kPublicKeyBlobBytes);
    EXPECT_EQ(key.substr(0, 8), std::string("ECS1\x20\0\0\0", 8));
    // A signature made with a throw-away key never passes for the release key.
    test::TempDir dir;
    ASSERT_TRUE(writeFile(dir.file(L"b.exe"), "build"));
    EXPECT_FALSE(verifyBuild(dir.file(L"b.exe"),
                             release::signFile(test::testPrivateKey(), dir.file(L"b.exe")), key));
}

}  // namespace
}  // namespace tov
