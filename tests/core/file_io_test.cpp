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
