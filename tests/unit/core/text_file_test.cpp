#include "core/text_file.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

namespace fs = std::filesystem;

TEST(SplitLines, EndsLinesAtCrLfLoneCrAndLoneLf) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines(std::string("x\0y\n\rb\r\n", 8)), (Lines{std::string("x\0y", 3), "", "b"}));
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
    folder.write("frozen.txt", "old");
    fs::permissions(folder.path() / "frozen.txt", fs::perms::owner_read | fs::perms::others_read);
    EXPECT_FALSE(ReplaceFile(folder.path() / "frozen.txt", "new")) << "nobody may write it";
    EXPECT_EQ(folder.read("frozen.txt"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2);
}

TEST(TextFiles, ReplaceWritesThroughASymlinkAndKeepsThePermissions) {
    TempFolder folder, encoder;
    const fs::path link = folder.path() / "metadata.txt", target = encoder.path() / "now.txt";
    fs::create_symlink(fs::relative(target, folder.path()), link);  // the file is still to be made
    const fs::perms groupRead = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    for (const char* title : {"First\r\n", "Second\r\n"}) {
        ASSERT_TRUE(ReplaceFile(link, title));
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(encoder.read("now.txt"), title);
        EXPECT_EQ(fs::status(target).permissions() == groupRead, title[0] == 'S') << "kept from the first";
        fs::permissions(target, groupRead);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(encoder.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace bf::test
