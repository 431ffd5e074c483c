#include "core/file_io.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "test_util.h"

namespace sv {
namespace {

TEST(FileIo, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
    svtest::TempDir dir;
    const std::string path = dir.file("a.dmk");
    svtest::writeFile(path, std::vector<std::uint8_t>(1000, 0xAA));
    const std::vector<std::uint8_t> fresh(10, 0x55);
    ASSERT_TRUE(writeFileAtomically(path, fresh).ok());
    EXPECT_EQ(svtest::readFile(path), fresh);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(FileIo, FailedWriteSaysWhyAndLeavesNoTemporary) {
    svtest::TempDir dir;
    const std::vector<std::uint8_t> bytes(4);
    const WriteResult missing = writeFileAtomically(dir.file("missing/a.dmk"), bytes);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(missing.cause, "No such file or directory");
    svtest::writeFile(dir.file("plain"), {1});
    EXPECT_EQ(writeFileAtomically(dir.file("plain/a.dmk"), bytes).cause, "Not a directory");
    EXPECT_EQ(writeFileAtomically(dir.path().string(), bytes).cause, "Is a directory");
    EXPECT_EQ(svtest::readFile(dir.file("plain")), std::vector<std::uint8_t>{1});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_EQ(causeLine("Is a directory"), "Cause: Is a directory.");
}

TEST(FileIo, OnlyRegularFilesAreReplacedAndLinksAreFollowed) {
    svtest::TempDir dir;
    EXPECT_FALSE(writeFileAtomically("/dev/null", std::vector<std::uint8_t>(4)).ok());
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    const std::string real = dir.file("real.dmk");
    const std::string link = dir.file("link.dmk");
    svtest::writeFile(real, {1, 2, 3});
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(writeFileAtomically(link, std::vector<std::uint8_t>{9}).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(svtest::readFile(real), std::vector<std::uint8_t>{9});
}

TEST(FileIo, ReadRefusesMissingAndTooLargeAndSaysWhy) {
    svtest::TempDir dir;
    EXPECT_EQ(readWholeFile(dir.file("none")).error, ReadFileError::NotFound);
    const FileBytes folder = readWholeFile(dir.path().string());
    EXPECT_EQ(folder.error, ReadFileError::CannotOpen);
    EXPECT_EQ(folder.cause, "Is a directory");
    svtest::writeFile(dir.file("f"), std::vector<std::uint8_t>(100, 1));
    EXPECT_EQ(readWholeFile(dir.file("f"), 99).error, ReadFileError::TooLarge);
    const FileBytes ok = readWholeFile(dir.file("f"));
    EXPECT_TRUE(ok.ok());
    EXPECT_EQ(ok.bytes.size(), 100u);
}

}  // namespace
}  // namespace sv
