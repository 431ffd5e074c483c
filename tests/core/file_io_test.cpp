#include "core/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_util.h"

namespace sv {
namespace {

TEST(FileIo, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
    svtest::TempDir dir;
    const std::string path = dir.file("a.dmk");
    svtest::writeFile(path, std::vector<std::uint8_t>(1000, 0xAA));
    const std::vector<std::uint8_t> fresh(10, 0x55);
    ASSERT_TRUE(writeFileAtomically(path, fresh));
    EXPECT_EQ(svtest::readFile(path), fresh);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(FileIo, FailedWriteLeavesOldFile) {
    svtest::TempDir dir;
    EXPECT_FALSE(writeFileAtomically(dir.file("missing/a.dmk"), std::vector<std::uint8_t>(4)));
    EXPECT_FALSE(writeFileAtomically(dir.path().string(), std::vector<std::uint8_t>(4)));
}

TEST(FileIo, OnlyRegularFilesAreReplacedAndLinksAreFollowed) {
    svtest::TempDir dir;
    EXPECT_FALSE(writeFileAtomically("/dev/null", std::vector<std::uint8_t>(4)));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    const std::string real = dir.file("real.dmk");
    const std::string link = dir.file("link.dmk");
    svtest::writeFile(real, {1, 2, 3});
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(writeFileAtomically(link, std::vector<std::uint8_t>{9}));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(svtest::readFile(real), std::vector<std::uint8_t>{9});
}

TEST(FileIo, ReadRefusesMissingAndTooLarge) {
    svtest::TempDir dir;
    EXPECT_EQ(readWholeFile(dir.file("none")).error, ReadFileError::CannotOpen);
    EXPECT_EQ(readWholeFile(dir.path().string()).error, ReadFileError::CannotOpen);
    svtest::writeFile(dir.file("f"), std::vector<std::uint8_t>(100, 1));
    EXPECT_EQ(readWholeFile(dir.file("f"), 99).error, ReadFileError::TooLarge);
    const FileBytes ok = readWholeFile(dir.file("f"));
    EXPECT_TRUE(ok.ok());
    EXPECT_EQ(ok.bytes.size(), 100u);
}

}  // namespace
}  // namespace sv
