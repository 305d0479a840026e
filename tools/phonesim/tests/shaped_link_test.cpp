// The phone's link shaped by `link ID rate= delay=`: seen from a plain client through the real
// socket. The assertions are bounds that load can only make easier to meet: a link never carries
// more than its rate allows, and a pong queued behind a backlog cannot arrive before that backlog
// has drained at the rate.
#include <algorithm>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "session/packet.h"
#include "tools/phonesim/tests/sim_fixture.h"
#include "tools/phonesim/video_clip.h"

namespace tov::phonesim::test {
namespace {

constexpr int64_t kRateBps = 200000;  // a third of what the test clip needs
constexpr int64_t kDelayUs = 50000;
constexpr double kBurstBytes = 1500;  // the least the link's bucket holds

std::string u64(uint64_t v) {
    std::string out(8, '\0');
    writeU64(reinterpret_cast<uint8_t*>(out.data()), v);
    return out;
}

int64_t number(const TextMap& m, const char* key) {
    auto it = m.find(key);
    return it == m.end() ? -1 : std::atoll(it->second.c_str());
}

class ShapedLinkTest : public SimTest {
  protected:
    void SetUp() override {
        std::string bytes, error;
        ASSERT_TRUE(readFile(widen(TOV_TEST_MEDIA_DIR "/phone_h264_320x640.h264"), bytes));
        VideoClip clip;
        ASSERT_TRUE(parseVideoClip(bytes, VideoCodec::H264, clip, error)) << error;
        for (const AccessUnit& u : clip.units) largestPacket = std::max(largestPacket, u.bytes.size());
        largestPacket += kPacketHeaderSize;
    }

    // A live app stream on a link shaped from its first byte.
    void openShaped() {
        startSim("phone p usb=S1 model=Pixel app=old\nlink p rate=0.2 delay=50\n");
        const uint16_t port = freePort();
        ASSERT_TRUE(adb("-s S1 forward tcp:" + std::to_string(port) + " tcp:27183").ok);
        ASSERT_TRUE(adb("-s S1 shell am start -n com.tovenmar.app/.MainActivity").ok);
        shapedSince = nowMicros();
        TextMap hello;
        ASSERT_TRUE(openStream(client, port, {{"video", "1"}, {"audio", "0"}}, &hello));
        received = kPacketHeaderSize + writeTextMap(hello).size();
    }

    TextMap link() { return sim.link("p"); }

    // The next packet, checked against the rate: nothing reaches the client faster than the
    // link carries it.
    Received next() {
        Received r = client.receive(5000);
        if (!r.ok) return r;
        received += kPacketHeaderSize + r.payload.size();
        if (r.type == 3) {
            EXPECT_GT(r.timestamp, lastPicture) << "pictures in their order";
            lastPicture = r.timestamp;
        }
        const double allowed =
            kBurstBytes + static_cast<double>(kRateBps) * (nowMicros() - shapedSince) / 8e6;
        if (shaped) {
            EXPECT_LE(static_cast<double>(received), allowed + 1) << "faster than the link";
        }
        return r;
    }

    PacketClient client;
    size_t largestPacket = 0;
    int64_t shapedSince = 0;
    size_t received = 0;
    int64_t lastPicture = INT64_MIN;
    bool shaped = true;
};

TEST_F(ShapedLinkTest, SendsWaitForTheRateAndPongsWaitBehindThemUntilTheLinkIsFreed) {
    openShaped();
    const TextMap shape = link();
    EXPECT_EQ(shape.at("rate"), "0.2");
    EXPECT_EQ(shape.at("delay"), "50");

    // The clip needs three times the rate: a backlog builds.
    ASSERT_TRUE(waitFor([&] { return next().ok && number(link(), "queued") >= 40000; }, 20000));

    // A pong queued now comes after those bytes, which the link carries at its rate, and after
    // the delay.
    const int64_t asked = nowMicros();
    const TextMap before = link();
    const int64_t queued = number(before, "queued");
    EXPECT_GT(number(before, "wait"), 0);
    ASSERT_TRUE(client.send(8, u64(4242)));
    Received r;
    do {
        r = next();
    } while (r.ok && r.type != 9);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.payload, u64(4242));
    const double leastUs = (static_cast<double>(queued) - static_cast<double>(largestPacket) -
                            kBurstBytes) * 8e6 / kRateBps + kDelayUs;
    EXPECT_GE(static_cast<double>(nowMicros() - asked), leastUs)
        << queued << " bytes were queued ahead of the pong";
    const int64_t deliveredBefore = number(before, "delivered");

    // Freed, the link hands over everything that waited and stops holding sends back.
    shaped = false;
    ASSERT_TRUE(sim.ok("link p free"));
    ASSERT_TRUE(waitFor([&] { return next().ok && number(link(), "queued") == 0; }, 20000));
    const TextMap after = link();
    EXPECT_EQ(after.at("rate"), "0");
    EXPECT_GE(number(after, "delivered"), deliveredBefore + queued);
    ASSERT_TRUE(client.send(8, u64(4343)));
    do {
        r = client.receive(5000);
    } while (r.ok && r.type != 9);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.payload, u64(4343));
}

TEST_F(ShapedLinkTest, RefusesBadShapesAndUnknownPhones) {
    startSim("phone p usb=S1\n");
    EXPECT_FALSE(sim.ok("link p rate=fast"));
    EXPECT_FALSE(sim.ok("link p rate=0"));
    EXPECT_FALSE(sim.ok("link p delay=20"));
    EXPECT_FALSE(sim.ok("link q free"));
    EXPECT_TRUE(sim.ok("link p rate=8 delay=20"));
    EXPECT_EQ(link().at("rate"), "8");
    EXPECT_EQ(link().at("queued"), "0");
}

}  // namespace
}  // namespace tov::phonesim::test
