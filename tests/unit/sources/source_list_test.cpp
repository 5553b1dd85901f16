#include "sources/source_list.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf {
namespace {

struct SourceListTest : ::testing::Test {
    test::TestStation ts;
    void list(std::string_view content) { ts.folder.write("sourcelist.ini", content); }
};

TEST_F(SourceListTest, FindsNameUrlAndCommandOnSeparatedLines) {
    list("1n:Studio A\r\n2u:http://other:8000/b\r\n1s:echo hello\r\n1u:http://a.example:8000/live\r\n");
    const SourceEntry e = FindSource(*ts, "1");
    EXPECT_EQ(e.name, "Studio A");
    EXPECT_EQ(e.url, "http://a.example:8000/live");
    EXPECT_EQ(e.command, "echo hello");
}

TEST_F(SourceListTest, LaterLineOfSameNumberAndKeyWinsInBothReaders) {
    list("1u:http://first/a\r\n1u:http://second/b\r\n");
    EXPECT_EQ(FindSource(*ts, "1").url, "http://second/b");
    EXPECT_EQ(ReadSourceTable(*ts).urls[1], "http://second/b");
}

TEST_F(SourceListTest, CommentedUrlLineGivesNoUrlInEitherReader) {
    list(";1u:http://hidden/a\r\n;1n:Hidden\r\n");
    EXPECT_EQ(FindSource(*ts, "1").url, "");
    EXPECT_EQ(FindSource(*ts, ";").url, "");
    const SourceTable t = ReadSourceTable(*ts);
    EXPECT_EQ(t.urls[1], "");
    EXPECT_EQ(t.names[1], "");
    EXPECT_EQ(t.urls[0], "");
}

TEST_F(SourceListTest, UpperCaseKeyIsNotAKey) {
    list("1U:http://a/b\r\n1N:Name\r\n");
    EXPECT_EQ(FindSource(*ts, "1").url, "");
    EXPECT_EQ(ReadSourceTable(*ts).urls[1], "");
    EXPECT_EQ(ReadSourceTable(*ts).names[1], "");
}

TEST_F(SourceListTest, ValueIsTakenUntrimmedAndMayBeEmpty) {
    list("1u: http://a/b  \r\n2u:\r\n2n:\tTabbed\r\n");
    EXPECT_EQ(FindSource(*ts, "1").url, " http://a/b  ");
    EXPECT_EQ(FindSource(*ts, "2").url, "");
    EXPECT_EQ(FindSource(*ts, "2").name, "\tTabbed");
}

TEST_F(SourceListTest, LetterAsNumberIsFoundOnlyByThatLetterButFiledUnderZero) {
    list("0n:Backup\r\nAn:Letter name\r\nAu:http://letter/x\r\n");
    EXPECT_EQ(FindSource(*ts, "A").name, "Letter name");
    EXPECT_EQ(FindSource(*ts, "0").name, "Backup");
    const SourceTable t = ReadSourceTable(*ts);
    EXPECT_EQ(t.names[0], "Letter name");  // the later line filed under 0 wins
    EXPECT_EQ(t.urls[0], "http://letter/x");
}

TEST_F(SourceListTest, NumberTextOfOtherLengthFindsNothing) {
    list("1u:http://a/b\r\n12u:http://c/d\r\nu:\r\n");
    EXPECT_EQ(FindSource(*ts, "12").url, "");
    EXPECT_EQ(FindSource(*ts, "").url, "");
    EXPECT_EQ(FindSource(*ts, "1\r\n").url, "");
}

TEST_F(SourceListTest, FileIsReadAfreshOnEveryUse) {
    list("1u:http://old/a\r\n");
    EXPECT_EQ(FindSource(*ts, "1").url, "http://old/a");
    list("1u:http://new/a\r\n");
    EXPECT_EQ(FindSource(*ts, "1").url, "http://new/a");
    EXPECT_EQ(ReadSourceTable(*ts).urls[1], "http://new/a");
}

TEST_F(SourceListTest, MissingOrEmptyFileHasNoEntries) {
    EXPECT_EQ(FindSource(*ts, "1").url, "");
    EXPECT_EQ(ReadSourceTable(*ts).urls, SourceTable{}.urls);
    list("");
    EXPECT_EQ(FindSource(*ts, "1").name, "");
    EXPECT_EQ(ReadSourceTable(*ts).names, SourceTable{}.names);
}

TEST_F(SourceListTest, BinaryBytesAreKeptAndDoNotHideLaterLines) {
    using namespace std::string_literals;
    list("\x00\xff\xfe;\x01u:\x00\x80\r\n3u:http://a/\x00\xff\r\n3n:\x00x\r\n"s);
    EXPECT_EQ(FindSource(*ts, "3").url, "http://a/\x00\xff"s);
    EXPECT_EQ(FindSource(*ts, "3").name, "\x00x"s);
    EXPECT_EQ(ReadSourceTable(*ts).urls[0], "");
}

TEST_F(SourceListTest, ManyJunkLinesStillFindTheLastEntry) {
    std::string content;
    while (content.size() < 1024 * 1024) content += "xx:junk junk junk;;;\r\n\n\r";
    list(content + "9u:http://end/x");
    EXPECT_EQ(FindSource(*ts, "9").url, "http://end/x");
    EXPECT_EQ(ReadSourceTable(*ts).urls[9], "http://end/x");
    EXPECT_EQ(ReadSourceTable(*ts).urls[0], "");  // "x:" is no key
}

class SourceListLineEnds : public SourceListTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SourceListLineEnds, EveryLineEndSeparatesEntries) {
    const std::string lf = GetParam();
    list("1n:One" + lf + "1u:http://one/a" + lf + ";2u:http://no/" + lf + "2u:http://two/b");
    EXPECT_EQ(FindSource(*ts, "1").name, "One");
    EXPECT_EQ(FindSource(*ts, "1").url, "http://one/a");
    EXPECT_EQ(FindSource(*ts, "2").url, "http://two/b");
    EXPECT_EQ(ReadSourceTable(*ts).urls[2], "http://two/b");
}

INSTANTIATE_TEST_SUITE_P(CrLfCrLf, SourceListLineEnds, ::testing::Values("\r\n", "\r", "\n", "\r\n\n"));

TEST_F(SourceListTest, MixedLineEndsInOneFile) {
    list("1n:One\n1u:http://one/a\r2n:Two\r\n2u:http://two/b\n\r3u:http://three/c");
    EXPECT_EQ(FindSource(*ts, "1").url, "http://one/a");
    EXPECT_EQ(FindSource(*ts, "2").name, "Two");
    EXPECT_EQ(FindSource(*ts, "2").url, "http://two/b");
    EXPECT_EQ(FindSource(*ts, "3").url, "http://three/c");
}

}  // namespace
}  // namespace bf
