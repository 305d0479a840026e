// Which input-state reports are the phone's own changes, for a phone that sends only "keyboard"
// and "mouse" and for one that also numbers its reports, with the start report in each place it
// can fall.
#include "session/toggle_echoes.h"

#include <gtest/gtest.h>

namespace tov {
namespace {

using Verdict = ToggleEchoes::Verdict;
constexpr InputToggles kBothOn{true, true};
constexpr std::optional<uint32_t> kNoNumber;

TEST(ToggleEchoes, APhoneWithoutNumbersHasItsChangesTakenAndItsStartReportIgnored) {
    // The start report ahead of the answer, and after it.
    for (const bool startFirst : {true, false}) {
        SCOPED_TRACE(startFirst ? "start report first" : "start report after the answer");
        ToggleEchoes echoes;
        echoes.linkStarted();
        echoes.sending(kBothOn);
        if (startFirst) {
            EXPECT_EQ(echoes.report(false, false, kNoNumber), Verdict::Stale);
        }
        EXPECT_EQ(echoes.report(true, true, kNoNumber), Verdict::Echo);
        if (!startFirst) {
            EXPECT_EQ(echoes.report(false, false, kNoNumber), Verdict::Stale);
        }
        EXPECT_FALSE(echoes.takeChange());

        EXPECT_EQ(echoes.report(false, true, kNoNumber), Verdict::Change);
        EXPECT_EQ(echoes.takeChange(), (InputToggles{false, true}));
        EXPECT_EQ(echoes.report(std::nullopt, false, kNoNumber), Verdict::Change);
        EXPECT_EQ(echoes.takeChange(), (InputToggles{false, false}));
    }

    // Two quick toggles: the answers to both, then a report the phone made before it read the
    // second, are not changes.
    ToggleEchoes echoes;
    echoes.linkStarted();
    echoes.sending(kBothOn);
    EXPECT_EQ(echoes.report(false, false, kNoNumber), Verdict::Stale);
    EXPECT_EQ(echoes.report(true, true, kNoNumber), Verdict::Echo);
    echoes.sending({false, true});
    EXPECT_EQ(echoes.report(true, false, kNoNumber), Verdict::Stale);  // made before it read it
    echoes.sending(kBothOn);
    EXPECT_EQ(echoes.report(false, true, kNoNumber), Verdict::Echo);
    EXPECT_EQ(echoes.report(true, true, kNoNumber), Verdict::Echo);
    EXPECT_FALSE(echoes.takeChange());

    // A new connection has its own start report.
    echoes.linkStarted();
    echoes.sending(kBothOn);
    EXPECT_EQ(echoes.report(true, true, kNoNumber), Verdict::Echo);
    EXPECT_EQ(echoes.report(false, false, kNoNumber), Verdict::Stale);
    EXPECT_FALSE(echoes.takeChange());
}

TEST(ToggleEchoes, APhoneThatNumbersItsReportsIsFollowedExactly) {
    ToggleEchoes echoes;
    echoes.linkStarted();
    const uint32_t first = echoes.sending(kBothOn);
    EXPECT_EQ(echoes.report(true, true, first), Verdict::Echo);
    // Changed on the phone, and its start report only after that.
    EXPECT_EQ(echoes.report(false, true, first), Verdict::Change);
    EXPECT_EQ(echoes.report(false, false, kNoNumber), Verdict::Stale);
    EXPECT_EQ(echoes.takeChange(), (InputToggles{false, true}));
    // A report tagged with an older mode than the last sent was made before the phone read it.
    const uint32_t second = echoes.sending(kBothOn);
    EXPECT_EQ(echoes.report(true, false, first), Verdict::Stale);
    EXPECT_EQ(echoes.report(true, true, second), Verdict::Echo);
    EXPECT_FALSE(echoes.takeChange());
}

}  // namespace
}  // namespace tov
