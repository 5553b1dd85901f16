#include "core/text_file.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

TEST(SplitLines, EndsLinesAtCrLfLoneCrAndLoneLf) {
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\n\rb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitLines(std::string("x\0y\r\n\r\n", 7)), (std::vector<std::string>{std::string("x\0y", 3), ""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(TextFiles, ReadWritesBytesAndRefusesWhatIsNoFile) {
    TempFolder folder;
    const auto file = folder.path() / "out.txt";
    std::string big(3 * 1024 * 1024 + 17, 'z');
    big[5] = '\0';
    ASSERT_TRUE(ReplaceFile(file, big));
    EXPECT_EQ(ReadWholeFile(file), big);
    ASSERT_TRUE(AppendToFile(file, "\xe9\r\n"));
    EXPECT_EQ(ReadWholeFile(file)->substr(big.size()), "\xe9\r\n");

    EXPECT_FALSE(ReadWholeFile(folder.path() / "missing").has_value());
    EXPECT_FALSE(ReadWholeFile(folder.path()).has_value());  // a folder
}

TEST(TextFiles, AFailedReplaceKeepsTheOldContentAndLeavesNoTemporaryFile) {
    TempFolder folder;
    std::filesystem::create_directory(folder.path() / "busy.txt");  // cannot be replaced by a file
    EXPECT_FALSE(ReplaceFile(folder.path() / "busy.txt", "new"));
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "busy.txt"));
    EXPECT_FALSE(ReplaceFile(folder.path() / "no-such-folder" / "x.txt", "new"));
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.path())) ++entries;
    EXPECT_EQ(entries, 1u);
}

}  // namespace
}  // namespace bf::test
