#include "sources/source_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_station.h"

namespace bf {
namespace {

using namespace std::string_literals;

std::string Show(const SourceEntry& e) {
    return e.name + "|" + e.url + "|" + e.command;
}

TEST(SourceListTest, FindSourceTakesOnlyTheNumbersOwnLinesTheTableFilesOtherCharactersUnderZero) {
    // The file (none: no sourcelist.ini), a number, what FindSource finds, a row of the table.
    const std::string ends = "1n:One\n1u:http://one/a\r2n:Two\r\n;2u:http://no/\n\r2u:http://two/b\r\n\n3u:x";
    // clang-format off
    const std::tuple<std::optional<std::string>, std::string, std::string, size_t, std::string> cases[] = {
        {"1n:Studio A\r\n1u:http://first/a\r\n2u:http://b/\r\n1s:echo hello\r\n1u:http://a/live\r\n", "1",
         "Studio A|http://a/live|echo hello", 1, "Studio A|http://a/live|echo hello"},  // the later line wins
        {";4u:http://hidden/a\r\n;4n:Hidden\r\n2U:http://a/b\r\n2N:Name\r\n", "4", "||", 2, "||"},
        {";u:http://semi/\r\n", ";", "|http://semi/|", 0, "||"},  // only the table skips comments
        {"12u:http://c/d\r\n1u:http://a/1\r\nu:\r\n", "12", "||", 1, "|http://a/1|"},
        {"\x00\xff\xfe;\x01u:\x00\x80\r\n1u: http://a/b  \r\n2n:\tTabbed\r\n3u:http://a/\x00\xff\r\n"s, "3",
         "|http://a/\x00\xff|"s, 2, "\tTabbed||"},
        {"0n:Backup\r\nAn:Letter name\r\nAu:http://letter/x\r\n", "0", "Backup||", 0, "Letter name|http://letter/x|"},
        {std::nullopt, "1", "||", 0, "||"},
        {ends, "2", "Two|http://two/b|", 3, "|x|"}};
    // clang-format on
    test::TestStation ts;  // one station for all: the file is read afresh on every use
    for (const auto& [file, number, found, index, filed] : cases) {
        SCOPED_TRACE(number + " in " + file.value_or("(no file)").substr(0, 40));
        std::filesystem::remove(ts.folder.path() / "sourcelist.ini");
        if (file) ts.folder.write("sourcelist.ini", *file);
        EXPECT_EQ(Show(FindSource(*ts, number)), found);
        EXPECT_EQ(Show(ReadSourceTable(*ts)[index]), filed);
    }
}

}  // namespace
}  // namespace bf
