#include "core/number_parse.h"

#include <gtest/gtest.h>

namespace bf {
namespace {

TEST(LeadingNumberParse, ReadsTheLeadingNumberRoundedHalfToEvenAndClampedToSixteenBits) {
    // clang-format off
    const std::pair<std::string, int16_t> cases[] = {
        {"1.4", 1}, {"1.5", 2}, {"2.5", 2}, {"-2.5", -2}, {"3.5", 4}, {"0.51", 1}, {".5", 0}, {"5.", 5},
        {"abc", 0}, {"", 0}, {"-5", -5}, {"+7", 7}, {"--5", 0}, {"12abc", 12}, {"1,5", 1}, {"/path/to/folder", 0},
        {"&H10", 16}, {"&h1f", 31}, {"&O17", 15}, {"&O8", 0}, {"&X1", 0},
        {" 1 2\t3\n", 123}, {"- 5", -5}, {"\r5", 0},  // blanks, tabs and LFs are dropped, a CR is not
        {"1e2", 100}, {"1E+2x", 100}, {"15e-1", 2}, {"1e", 1},
        // Outside the 16-bit range a value is clamped, never wrapped.
        {"32767.5", 32767}, {"32768", 32767}, {"-32768", -32768}, {"-40000", -32768}, {"&HFFFFF", 32767},
        {"1e999", 32767}, {"-1e999", -32768}, {"1e-999", 0}, {std::string(400, '9'), 32767}};
    // clang-format on
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParseLeadingInt16(text), expected) << text;
    EXPECT_DOUBLE_EQ(ParseLeadingNumber("0.25s"), 0.25);  // pauses keep the fraction
}

}  // namespace
}  // namespace bf
