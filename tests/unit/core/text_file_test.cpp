#include "core/text_file.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

namespace fs = std::filesystem;

TEST(SplitLines, EndsLinesAtCrLfLoneCrAndLoneLf) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\n\rb\r\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitLines(std::string("x\0y\r\n\r\n", 7)), (Lines{std::string("x\0y", 3), ""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(TextFiles, ReadAndWriteBytesAndRefuseWhatIsNoFile) {
    TempFolder folder;
    const auto file = folder.path() / "out.txt";
    std::string big(3 * 1024 * 1024 + 17, 'z');
    big[5] = '\0';
    ASSERT_TRUE(ReplaceFile(file, big));
    ASSERT_TRUE(AppendToFile(file, "\xe9\r\n"));
    EXPECT_EQ(ReadWholeFile(file), big + "\xe9\r\n");
    EXPECT_FALSE(ReadWholeFile(folder.path() / "missing").has_value());
    EXPECT_FALSE(ReadWholeFile(folder.path()).has_value());  // a folder
}

TEST(TextFiles, AFailedReplaceKeepsTheOldContentAndLeavesNoTemporaryFile) {
    TempFolder folder;
    fs::create_directory(folder.path() / "busy.txt");  // cannot be replaced by a file
    EXPECT_FALSE(ReplaceFile(folder.path() / "busy.txt", "new"));
    EXPECT_TRUE(fs::is_directory(folder.path() / "busy.txt"));
    EXPECT_FALSE(ReplaceFile(folder.path() / "no-such-folder" / "x.txt", "new"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace bf::test
