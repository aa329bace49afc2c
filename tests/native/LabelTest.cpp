#include "controls/LabelGradient.h"
#include "controls/LabelTextFormat.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tamsivo {
namespace {

void ExpectContiguous(const std::vector<LabelGradient::Band>& bands, int left, int right) {
    ASSERT_FALSE(bands.empty());
    EXPECT_EQ(bands.front().left, left);
    EXPECT_EQ(bands.back().right, right);
    for (std::size_t i = 1; i < bands.size(); ++i) {
        EXPECT_EQ(bands[i].left, bands[i - 1].right) << "band " << i;
    }
}

TEST(LabelGradient, NarrowLabelGetsOneBandAColumn) {
    const auto bands = LabelGradient::Bands(0, 60, Rgb(0, 0, 0), Rgb(255, 255, 255));
    ASSERT_EQ(bands.size(), 60u);
    ExpectContiguous(bands, 0, 60);
    for (const auto& band : bands) {
        EXPECT_EQ(band.right - band.left, 1);
    }
}

TEST(LabelGradient, WideLabelGetsAHundredBandsTheLastTakingTheRest) {
    const auto bands = LabelGradient::Bands(10, 260, Rgb(0, 0, 0), Rgb(255, 255, 255));
    ASSERT_EQ(bands.size(), 100u);
    ExpectContiguous(bands, 10, 260);
    for (std::size_t i = 0; i + 1 < bands.size(); ++i) {
        EXPECT_EQ(bands[i].right - bands[i].left, 2) << "band " << i;
    }
    EXPECT_EQ(bands.back().right - bands.back().left, 52);
}

TEST(LabelGradient, DegenerateWidths) {
    EXPECT_TRUE(LabelGradient::Bands(5, 5, 0, 0x00FFFFFF).empty());
    EXPECT_TRUE(LabelGradient::Bands(5, 3, 0, 0x00FFFFFF).empty());
    const auto one = LabelGradient::Bands(5, 6, Rgb(1, 2, 3), Rgb(200, 200, 200));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one.front(), (LabelGradient::Band{5, 6, Rgb(1, 2, 3)}));
    // A limit of one band paints the whole width in the start colour.
    const auto solid = LabelGradient::Bands(0, 80, Rgb(9, 8, 7), Rgb(200, 200, 200), 1);
    ASSERT_EQ(solid.size(), 1u);
    EXPECT_EQ(solid.front(), (LabelGradient::Band{0, 80, Rgb(9, 8, 7)}));
}

TEST(LabelGradient, ColoursStepFromTheStartTowardsTheEndPerChannel) {
    // Three bands from black to red 255: a third of the way per band.
    const auto thirds = LabelGradient::Bands(0, 3, Rgb(0, 0, 0), Rgb(255, 0, 0));
    ASSERT_EQ(thirds.size(), 3u);
    EXPECT_EQ(thirds[0].color, Rgb(0, 0, 0));
    EXPECT_EQ(thirds[1].color, Rgb(85, 0, 0));
    EXPECT_EQ(thirds[2].color, Rgb(170, 0, 0));

    // Red falls while blue rises, green stays; no channel overshoots its end.
    const Color from = Rgb(250, 40, 3);
    const Color to = Rgb(10, 40, 240);
    const auto bands = LabelGradient::Bands(0, 173, from, to);
    ASSERT_EQ(bands.size(), 100u);
    EXPECT_EQ(bands.front().color, from);
    for (std::size_t i = 1; i < bands.size(); ++i) {
        EXPECT_LE(RedOf(bands[i].color), RedOf(bands[i - 1].color)) << i;
        EXPECT_GE(BlueOf(bands[i].color), BlueOf(bands[i - 1].color)) << i;
        EXPECT_EQ(GreenOf(bands[i].color), 40) << i;
    }
    // The last band is one step short of the end colour.
    EXPECT_GE(RedOf(bands.back().color), 10);
    EXPECT_LE(RedOf(bands.back().color) - 10, (250 - 10) / 100 + 1);
    EXPECT_LE(BlueOf(bands.back().color), 240);
    EXPECT_LE(240 - BlueOf(bands.back().color), (240 - 3) / 100 + 1);
}

TEST(LabelTextFormat, AlignmentTypesWrapAtWordsExceptLeftNoWordWrap) {
    EXPECT_EQ(LabelTextFormat::For(kSsLeft, "text"), kDtWordBreak);
    EXPECT_EQ(LabelTextFormat::For(kSsCenter, "text"), 0x11u);
    EXPECT_EQ(LabelTextFormat::For(kSsRight, "text"), 0x12u);
    EXPECT_EQ(LabelTextFormat::For(kSsLeftNoWordWrap, "a long text"), 0u);
    // Other static types (SS_SIMPLE here) and the bits above the type change nothing.
    EXPECT_EQ(LabelTextFormat::For(0x0B, "text"), kDtWordBreak);
    EXPECT_EQ(LabelTextFormat::For(kSsCenter | kSsNotify | 0x10000000u, "text"), 0x11u);
}

TEST(LabelTextFormat, TabsExpandUnlessTheTextIsCentredAsAnImage) {
    EXPECT_EQ(LabelTextFormat::For(kSsLeft, "a\tb"), 0x50u);
    EXPECT_EQ(LabelTextFormat::For(kSsRight, "a\tb"), 0x52u);
    EXPECT_EQ(LabelTextFormat::For(kSsLeftNoWordWrap, "a\tb"), kDtExpandTabs);
    EXPECT_EQ(LabelTextFormat::For(kSsLeft | kSsCenterImage, "a\tb"), 0x25u);
}

TEST(LabelTextFormat, CentreImageCentresOneLineBothWays) {
    EXPECT_EQ(LabelTextFormat::For(kSsCenterImage, "ОШИБКА"), 0x25u);
    EXPECT_EQ(LabelTextFormat::For(kSsRight | kSsCenterImage, "text"), 0x25u)
        << "the centred image replaces the alignment";
    // Two lines: centred across, top aligned, no word wrap.
    EXPECT_EQ(LabelTextFormat::For(kSsCenterImage, "one\r\ntwo"), kDtCenter);
    // Only the pair counts as a line break.
    EXPECT_EQ(LabelTextFormat::For(kSsCenterImage, "one\ntwo"), 0x25u);
    EXPECT_EQ(LabelTextFormat::For(kSsCenterImage, "one\rtwo"), 0x25u);
    EXPECT_EQ(LabelTextFormat::For(kSsCenterImage, ""), 0x25u);
}

} // namespace
} // namespace tamsivo
