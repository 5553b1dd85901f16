#include "sources/source_list.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf {
namespace {

using namespace std::string_literals;

struct SourceListTest : ::testing::Test {
    test::TestStation ts;
    void list(const std::string& content) { ts.folder.write("sourcelist.ini", content); }
    SourceEntry find(std::string_view number) { return FindSource(*ts, number); }
    SourceTable table() { return ReadSourceTable(*ts); }
};

TEST_F(SourceListTest, FindsEachKeyOnAnyLineTheLastOneWinningAndReadsTheFileAfresh) {
    list(
        "1n:Studio A\r\n1u:http://first/a\r\n2u:http://other:8000/b\r\n1s:echo "
        "hello\r\n1u:http://a/live\r\n");
    const SourceEntry e = find("1");
    EXPECT_EQ(e.name, "Studio A");
    EXPECT_EQ(e.url, "http://a/live");
    EXPECT_EQ(e.command, "echo hello");
    EXPECT_EQ(table().urls[1], "http://a/live");
    EXPECT_EQ(table().names[1], "Studio A");
    list("1u:http://new/a\r\n");
    EXPECT_EQ(find("1").url, "http://new/a");
    EXPECT_EQ(table().urls[1], "http://new/a");
}

TEST_F(SourceListTest, CommentsUpperCaseKeysAndNumberTextsOfOtherLengthFindNothing) {
    list(
        ";4u:http://hidden/a\r\n;4n:Hidden\r\n2U:http://a/b\r\n2N:Name\r\n1u:http://a/1\r\n12u:http://c/"
        "d\r\nu:\r\n");
    for (const char* number : {"4", ";", "2", "12", "", "1\r\n"}) {
        EXPECT_EQ(find(number).url, "") << number;
        EXPECT_EQ(find(number).name, "") << number;
    }
    SourceTable expected;
    expected.urls[1] = "http://a/1";
    EXPECT_EQ(table().urls, expected.urls);
    EXPECT_EQ(table().names, expected.names);
}

TEST_F(SourceListTest, ValuesAreUntrimmedBytes) {
    list(
        "\x00\xff\xfe;\x01u:\x00\x80\r\n1u: http://a/b  \r\n2u:\r\n2n:\tTabbed\r\n3u:http://a/\x00\xff\r\n"s);
    EXPECT_EQ(find("1").url, " http://a/b  ");
    EXPECT_EQ(find("2").url, "");
    EXPECT_EQ(find("2").name, "\tTabbed");
    EXPECT_EQ(find("3").url, "http://a/\x00\xff"s);
    EXPECT_EQ(table().urls[0], "");
}

TEST_F(SourceListTest, LetterAsNumberIsFoundOnlyByThatLetterButFiledUnderZero) {
    list("0n:Backup\r\nAn:Letter name\r\nAu:http://letter/x\r\n");
    EXPECT_EQ(find("A").name, "Letter name");
    EXPECT_EQ(find("0").name, "Backup");
    EXPECT_EQ(table().names[0], "Letter name");  // the later line filed under 0 wins
    EXPECT_EQ(table().urls[0], "http://letter/x");
}

TEST_F(SourceListTest, MissingEmptyOrJunkFilesStillWork) {
    EXPECT_EQ(find("1").url, "");
    EXPECT_EQ(table().urls, SourceTable{}.urls);
    list("");
    EXPECT_EQ(find("1").name, "");
    std::string junk;
    while (junk.size() < 1024 * 1024) junk += "xx:junk junk junk;;;\r\n\n\r";
    list(junk + "9u:http://end/x");
    EXPECT_EQ(find("9").url, "http://end/x");
    EXPECT_EQ(table().urls[9], "http://end/x");
    EXPECT_EQ(table().urls[0], "");  // "x:" is no key
}

TEST_F(SourceListTest, CrLfLoneCrAndLoneLfAllEndLinesInOneFile) {
    list("1n:One\n1u:http://one/a\r2n:Two\r\n;2u:http://no/\n\r2u:http://two/b\r\n\n3u:http://three/c");
    EXPECT_EQ(find("1").name, "One");
    EXPECT_EQ(find("1").url, "http://one/a");
    EXPECT_EQ(find("2").name, "Two");
    EXPECT_EQ(find("2").url, "http://two/b");
    EXPECT_EQ(find("3").url, "http://three/c");
    EXPECT_EQ(table().urls[2], "http://two/b");
}

}  // namespace
}  // namespace bf
