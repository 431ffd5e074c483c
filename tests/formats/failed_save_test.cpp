// A save that cannot complete leaves the earlier file byte for byte as it was and says why; an
// IMD side log that cannot be written is a note, never a failed load. The full and the read-only
// folder are small tmpfs mounts; where the test may not mount them (not root, no mount
// namespace) it is skipped with a message.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/dmk.h"
#include "formats/dsk.h"
#include "formats/imd.h"
#include "mkdisk/samples.h"
#include "test_util.h"

namespace sv {
namespace {

namespace fs = std::filesystem;

class SmallMount {
public:
    explicit SmallMount(const std::string& folder) : folder_(folder) {
        fs::create_directories(folder_);
        mounted_ = std::system(("mount -t tmpfs -o size=64k tmpfs " + svtest::shellQuote(folder_) +
                                " 2>/dev/null").c_str()) == 0;
    }
    ~SmallMount() {
        if (mounted_) {
            (void)std::system(("umount " + svtest::shellQuote(folder_)).c_str());
        }
    }
    SmallMount(const SmallMount&) = delete;
    SmallMount& operator=(const SmallMount&) = delete;
    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] bool makeReadOnly() const {
        return std::system(("mount -o remount,ro " + svtest::shellQuote(folder_)).c_str()) == 0;
    }

private:
    std::string folder_;
    bool mounted_ = false;
};

using Saver = bool (*)(const std::string&, const DiskImage&, OperationLog&);

void expectFailedSavesKeepTheOldFile(const std::string& folder, bool readOnly) {
    SmallMount mount(folder);
    if (!mount.mounted()) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root); failed-save test skipped";
    }
    const std::vector<std::uint8_t> old(20000, 0x5A);
    const std::string dmkPath = folder + "/old.dmk";
    const std::string dskPath = folder + "/old.dsk";
    svtest::writeFile(dmkPath, old);
    svtest::writeFile(dskPath, old);
    if (readOnly) {
        ASSERT_TRUE(mount.makeReadOnly());
    }
    auto disk = makeDiskImage();
    TextSink log;
    const std::string source = folder + ".src.dmk";
    mkdisk::writeFile(source, mkdisk::writeDmk(mkdisk::damagedModel2Disk()));
    loadDmkImage(source, *disk, log);
    fs::remove(source);
    ASSERT_FALSE(isEmpty(*disk));

    for (const auto& [path, save] : {std::pair<std::string, Saver>{dmkPath, saveDmkImage},
                                     std::pair<std::string, Saver>{dskPath, saveDskImage}}) {
        EXPECT_FALSE(save(path, *disk, log)) << path;
        const std::string cause = readOnly ? "Read-only file system" : "No space left on device";
        EXPECT_TRUE(log.currentText().ends_with("\r\n" + path + " could not be written.\r\nCause: " +
                                                cause + ".\r\nOperation aborted."))
            << log.currentText();
        EXPECT_EQ(svtest::readFile(path), old) << path;
    }
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

TEST(FailedSave, FullDiskKeepsTheOldFile) {
    svtest::TempDir dir;
    expectFailedSavesKeepTheOldFile(dir.file("full"), false);
}

TEST(FailedSave, ReadOnlyFolderKeepsTheOldFile) {
    svtest::TempDir dir;
    expectFailedSavesKeepTheOldFile(dir.file("readonly"), true);
}

TEST(FailedSave, SideLogOnReadOnlyMediaIsANoteAndTheLoadGoesOn) {
    svtest::TempDir dir;
    const std::string folder = dir.file("archive");
    SmallMount mount(folder);
    if (!mount.mounted()) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root); read-only side log skipped";
    }
    const std::string path = folder + "/DISK.IMD";
    mkdisk::writeFile(path, mkdisk::writeImd(mkdisk::model2Disk(1, 2)));
    ASSERT_TRUE(mount.makeReadOnly());
    auto disk = makeDiskImage();
    TextSink log;
    loadImdImage(path, *disk, log, LoadOptions{.imdSideLog = true});
    EXPECT_EQ(disk->trackCount, 2);
    EXPECT_NE(log.currentText().find("\r\nThe side log file " + folder +
                                     "/DISK.log could not be written.\r\n"
                                     "Cause: Read-only file system.\r\n"),
              std::string::npos)
        << log.currentText();
    EXPECT_TRUE(log.currentText().ends_with(" - IMD image loaded.")) << log.currentText();
}

}  // namespace
}  // namespace sv
