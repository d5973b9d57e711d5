// The display text and band arithmetic behind the step buttons.
#include "FrequencyText.h"

#include <gtest/gtest.h>

using namespace FrequencyText;

TEST(FrequencyText, ReadsTheDisplayFormat) {
    EXPECT_EQ(100000u, ToKHz("100.000MHz"));
    EXPECT_EQ(87500u, ToKHz("87.500MHz"));
    EXPECT_EQ(100050u, ToKHz("100.050MHz"));
    EXPECT_EQ(101300u, ToKHz("101300"));
    EXPECT_EQ(1013u, ToKHz("1.013"));
}

TEST(FrequencyText, DeletesOnlyTheFirstUnitAndPoint) {
    EXPECT_EQ(UnreadableKHz, ToKHz("100.000MHzMHz"));
    EXPECT_EQ(UnreadableKHz, ToKHz("1.00.000MHz"));
    EXPECT_EQ(100000u, ToKHz("100MHz.000"));
}

TEST(FrequencyText, UnreadableTextCountsAsTenThousand) {
    EXPECT_EQ(10000u, ToKHz("empty"));
    EXPECT_EQ(10000u, ToKHz(""));
    EXPECT_EQ(10000u, ToKHz("MHz"));
    EXPECT_EQ(10000u, ToKHz("100.000 MHz"));
    EXPECT_EQ(10000u, ToKHz("99999999999MHz"));
}

TEST(FrequencyText, NegativeTextIsTakenUnsigned) {
    EXPECT_EQ(4294967196u, ToKHz("-100"));
}

TEST(FrequencyText, WrapsAtTheBandEnds) {
    EXPECT_EQ(87500u, WrapIntoBand(108100));
    EXPECT_EQ(87500u, WrapIntoBand(108500));
    EXPECT_EQ(108000u, WrapIntoBand(87400));
    EXPECT_EQ(108000u, WrapIntoBand(86500));
    EXPECT_EQ(108000u, WrapIntoBand(10000));
    EXPECT_EQ(87500u, WrapIntoBand(4294966296u));
}

TEST(FrequencyText, KeepsTheBandAndItsEnds) {
    EXPECT_EQ(87500u, WrapIntoBand(87500));
    EXPECT_EQ(108000u, WrapIntoBand(108000));
    EXPECT_EQ(100050u, WrapIntoBand(100050));
}

TEST(FrequencyText, FormatsWholeMegahertzAndThreeKilohertzDigits) {
    EXPECT_EQ("87.500MHz", FromKHz(87500));
    EXPECT_EQ("100.000MHz", FromKHz(100000));
    EXPECT_EQ("101.000MHz", FromKHz(101000));
    EXPECT_EQ("100.900MHz", FromKHz(100900));
    EXPECT_EQ("100.050MHz", FromKHz(100050));
    EXPECT_EQ("108.000MHz", FromKHz(108000));
    EXPECT_EQ("0.007MHz", FromKHz(7));
}
