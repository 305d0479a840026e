#include "platform/random.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>

namespace tov {
namespace {

// A source that repeats itself or leaves the buffer alone would hand out guessable pairing
// passwords.
TEST(SecureRandom, FillsTheWholeBufferWithFreshBytesEachCall) {
    std::set<std::array<uint8_t, 32>> seen;
    std::array<int, 32> zeros{};
    for (int round = 0; round < 8; ++round) {
        std::array<uint8_t, 32> bytes{};
        ASSERT_TRUE(secureRandom(bytes.data(), bytes.size()));
        EXPECT_TRUE(seen.insert(bytes).second);
        for (size_t i = 0; i < bytes.size(); ++i) zeros[i] += bytes[i] == 0;
    }
    // Each position held a non-zero byte at least once: the last bytes were written too.
    for (int count : zeros) EXPECT_LT(count, 8);
    EXPECT_TRUE(secureRandom(nullptr, 0));
}

}  // namespace
}  // namespace tov
