// The leading-number parse on any text.

#include "core/number_parse.h"

#include <cmath>

#include "fuzz_station.h"

using namespace bf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(fuzz::AsText(data, size));
    const double value = ParseLeadingNumber(text);
    const int16_t rounded = ParseLeadingInt16(text);
    BF_FUZZ_CHECK(!std::isnan(value));

    // An "x" continues no number: what comes after the number is ignored.
    BF_FUZZ_CHECK(ParseLeadingNumber(text + "x") == value);
    BF_FUZZ_CHECK(ParseLeadingInt16(text + "x") == rounded);
    // A minus in front of a decimal number negates it.
    if (!text.empty() && text[0] >= '0' && text[0] <= '9')
        BF_FUZZ_CHECK(ParseLeadingNumber("-" + text) == -value);
    return 0;
}
