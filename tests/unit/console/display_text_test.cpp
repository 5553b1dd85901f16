#include "console/display_text.h"

#include <gtest/gtest.h>

namespace bf {
namespace {

TEST(DecodeForDisplay, ShowsUtf8FallsBackToLatin1AndLeavesOffACharacterCutAtTheEnd) {
    const std::pair<const char*, const char*> cases[] = {
        {"ON AIR", "ON AIR"},
        {"Caf\xc3\xa9", "Caf\xc3\xa9"},  // valid UTF-8
        {"Caf\xe9", "Caf\xc3\xa9"},      // Latin-1, though \xe9 could begin a UTF-8 character
        {"Mot\xc3", "Mot\xc3\x83"},
        {"\xa3 5", "\xc2\xa3 5"},  // lone high byte
        {"Caf\xe9 cr\xe8me br\xfbl\xe9", "Caf\xc3\xa9 cr\xc3\xa8me br\xc3\xbbl\xc3\xa9"},
        {"Caf\xc3\xa9 \xc3", "Caf\xc3\xa9 "},  // cut UTF-8 after a whole character
        {"Tea \xe2\x80", "Tea "},              // two bytes of three
        {"\xf0\x9f\x8e\xb5 \xf0\x9f\x8e", "\xf0\x9f\x8e\xb5 "}};
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(DecodeForDisplay(bytes).toUtf8().toStdString(), shown) << bytes;
}

}  // namespace
}  // namespace bf
