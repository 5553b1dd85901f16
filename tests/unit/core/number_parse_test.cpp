#include "core/number_parse.h"

#include <gtest/gtest.h>

namespace bf {
namespace {

struct Case {
    const char* text;
    int16_t expected;
};

class LeadingNumberParse : public ::testing::TestWithParam<Case> {};

TEST_P(LeadingNumberParse, ReadsTheLeadingNumberRoundedHalfToEven) {
    EXPECT_EQ(ParseLeadingInt16(GetParam().text), GetParam().expected) << "text: " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Values, LeadingNumberParse,
                         ::testing::Values(Case{"1.4", 1}, Case{"1.5", 2}, Case{"2.5", 2}, Case{"-2.5", -2},
                                           Case{"3.5", 4}, Case{"abc", 0}, Case{"", 0}, Case{"-5", -5},
                                           Case{"+7", 7}, Case{"&H10", 16}, Case{"&h1f", 31}, Case{"&O17", 15},
                                           Case{"&O8", 0}, Case{"&X1", 0}, Case{" 1 2\t3\n", 123},
                                           Case{"- 5", -5}, Case{"12abc", 12}, Case{"1e2", 100},
                                           Case{"1E+2x", 100}, Case{"15e-1", 2}, Case{"1e", 1}, Case{".5", 0},
                                           Case{"0.51", 1}, Case{"5.", 5}, Case{"--5", 0}, Case{"\r5", 0},
                                           Case{"1,5", 1}, Case{"/path/to/folder", 0}));

TEST(LeadingNumberParseRange, ClampsValuesOutsideSixteenBitsInsteadOfWrapping) {
    EXPECT_EQ(ParseLeadingInt16("32767"), 32767);
    EXPECT_EQ(ParseLeadingInt16("32767.5"), 32767);
    EXPECT_EQ(ParseLeadingInt16("32768"), 32767);
    EXPECT_EQ(ParseLeadingInt16("-32768"), -32768);
    EXPECT_EQ(ParseLeadingInt16("-40000"), -32768);
    EXPECT_EQ(ParseLeadingInt16("&HFFFFF"), 32767);
    EXPECT_EQ(ParseLeadingInt16("1e999"), 32767);
    EXPECT_EQ(ParseLeadingInt16("-1e999"), -32768);
    EXPECT_EQ(ParseLeadingInt16("1e-999"), 0);
    EXPECT_EQ(ParseLeadingInt16(std::string(400, '9')), 32767);
}

TEST(LeadingNumberParseFractions, KeepsFractionsForPauses) {
    EXPECT_DOUBLE_EQ(ParseLeadingNumber("2"), 2.0);
    EXPECT_DOUBLE_EQ(ParseLeadingNumber("0.25s"), 0.25);
    EXPECT_DOUBLE_EQ(ParseLeadingNumber("x"), 0.0);
}

}  // namespace
}  // namespace bf
