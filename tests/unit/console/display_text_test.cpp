#include "console/display_text.h"

#include <gtest/gtest.h>

namespace bf {
namespace {

TEST(DecodeForDisplay, ShowsUtf8AndFallsBackToLatin1) {
    const std::pair<const char*, const char*> cases[] = {
        {"ON AIR", "ON AIR"},
        {"Caf\xc3\xa9", "Caf\xc3\xa9"},  // valid UTF-8
        {"Caf\xe9", "Caf\xc3\xa9"},
        {"Mot\xc3", "Mot\xc3\x83"},  // Latin-1 byte, cut UTF-8 sequence
        {"\xa3 5", "\xc2\xa3 5"}};   // lone high byte
    for (const auto& [bytes, shown] : cases) EXPECT_EQ(DecodeForDisplay(bytes).toUtf8().toStdString(), shown);
}

}  // namespace
}  // namespace bf
