#include "analysis/recognition.h"

#include <gtest/gtest.h>

#include "analysis/disk_builder.h"

namespace sv {
namespace {

using svtest::DiskBuilder;

DiskAnalysis analyse(DiskBuilder& b) {
    TextSink log;
    return analyseDisk(b.disk(), log);
}

TEST(Recognition, SmallTrackOrEmptyDiskIsNotModel2) {
    auto empty = makeDiskImage();
    TextSink log;
    const DiskAnalysis a = analyseDisk(*empty, log);
    EXPECT_EQ(a.diskInfo, "Not a Model II Disk");
    EXPECT_FALSE(a.recognition.modelII);
    EXPECT_TRUE(a.entries.empty());
    EXPECT_EQ(log.currentText(), "");

    DiskBuilder b;
    DiskBuilder::put(b.sector(0, 0, 2, 0), 3, "TRSDOS");
    b.disk().trackLength = 6528;
    EXPECT_EQ(analyse(b).diskInfo, "Not a Model II Disk");
}

TEST(Recognition, TrsdosValuesTitleAndDirTrackLine) {
    DiskBuilder b;
    auto& s = b.sector(0, 0, 2, 0);
    DiskBuilder::put(s, 3, "TRSDOS");
    s[0] = 44;
    s[1] = 3;
    s[10] = 0x20;
    const DiskAnalysis a = analyse(b);
    EXPECT_EQ(a.recognition.osCode, 'T');
    EXPECT_EQ(a.recognition.dirTrack, 44);
    EXPECT_EQ(a.recognition.firstDirSector, 3);
    EXPECT_EQ(a.recognition.osVersion, 0x20);
    EXPECT_EQ(a.diskInfo, "Model II TRSDOS 2.0 Disk\r\nDirTrack=  44[002C]");
}

TEST(Recognition, TrsdosVersionDigitsAreHexAndHsdsAlwaysReads20) {
    for (const auto& [version, title] :
         {std::pair{0x12, "Model II TRSDOS 1.2 Disk"}, std::pair{0x1A, "Model II TRSDOS 1.A Disk"}}) {
        DiskBuilder b;
        auto& s = b.sector(0, 0, 2, 0);
        DiskBuilder::put(s, 3, "TRSDOS");
        s[10] = static_cast<std::uint8_t>(version);
        EXPECT_EQ(analyse(b).recognition.diskTitle, title);
    }
    DiskBuilder b;
    auto& s = b.sector(0, 0, 2, 0);
    DiskBuilder::put(s, 3, "TRSDOS");
    s[10] = 0x13;
    DiskBuilder::put(b.sector(3, 0, 18), 149, "HSDS");
    const DiskAnalysis a = analyse(b);
    EXPECT_EQ(a.recognition.osCode, 'H');
    EXPECT_EQ(a.recognition.osVersion, 0x20);
    EXPECT_EQ(a.recognition.diskTitle, "Racet HSDS on Model II TRSDOS 2.0 Disk");
}

TEST(Recognition, TheFirstMatchingTestDecides) {
    DiskBuilder b;
    DiskBuilder::put(b.sector(0, 0, 2, 0), 3, "TRSDOS");
    DiskBuilder::put(b.sector(0, 0, 17, 0), 68, "FMG");
    EXPECT_EQ(analyse(b).recognition.osCode, 'T');
}

TEST(Recognition, LsdosTitleAndDirectoryTrackFromSectorZero) {
    DiskBuilder b;
    DiskBuilder::put(b.sector(0, 0, 2, 0), 17, "LS-DOS63Model II");
    b.sector(0, 0, 0, 0)[2] = 38;
    const DiskAnalysis a = analyse(b);
    EXPECT_EQ(a.recognition.osCode, 'L');
    EXPECT_EQ(a.recognition.dirTrack, 38);
    EXPECT_EQ(a.recognition.osVersion, 63);
    EXPECT_EQ(a.diskInfo, "Model II LS-DOS LS-DOS 6.3 Model II Disk\r\nDirTrack=  38[0026]");
}

TEST(Recognition, DosplusVersionNeedsExactlyA00) {
    {
        DiskBuilder b;
        auto& s = b.sector(0, 0, 2, 0);
        DiskBuilder::put(s, 1, "DCT");
        s[8] = 20;
        DiskBuilder::put(b.sector(36, 0, 28, 1), 243, "A.00");
        const DiskAnalysis a = analyse(b);
        EXPECT_EQ(a.recognition.osCode, 'D');
        EXPECT_EQ(a.recognition.dirTrack, 20);
        EXPECT_EQ(a.recognition.diskTitle, "Model II Dosplus II vA.00 Disk");
    }
    {
        // The sector is absent: the buffer still holds S(0,0,2), which says something else.
        DiskBuilder b;
        DiskBuilder::put(b.sector(0, 0, 2, 0), 1, "DCT");
        EXPECT_EQ(analyse(b).recognition.diskTitle, "Model II Dosplus II vA.01 Disk");
    }
}

TEST(Recognition, Model16BootRecordGivesDirectoryAddressAndBlocks) {
    DiskBuilder b(2);
    auto& s = b.sector(0, 0, 3, 0);
    DiskBuilder::put(s, 1, "TRSDOS");
    s[9] = 0x41;
    s[18] = 0x00, s[19] = 0x00, s[20] = 0x01, s[21] = 0x25;  // 293 = track 9, sector 5
    s[34] = 0x00, s[35] = 0x01, s[36] = 0x12, s[37] = 0x34;
    const DiskAnalysis a = analyse(b);
    EXPECT_EQ(a.recognition.osCode, '6');
    EXPECT_EQ(a.recognition.dirTrack, 9);
    EXPECT_EQ(a.recognition.firstDirSector, 5);
    EXPECT_EQ(a.recognition.diskTitle, "Model II/16 TRSDOS 4.1 Disk, NBLKs=1234");
    ASSERT_TRUE(a.recognition.parameters.has_value());
    EXPECT_EQ(a.recognition.parameters->sides, 2);
}

TEST(Recognition, CpmFamilyTitlesVersionsAndParameters) {
    {
        DiskBuilder b;
        auto& s = b.sector(0, 0, 17, 1);
        DiskBuilder::put(s, 68, "FMG  CORPORATION");
        DiskBuilder::put(b.sector(0, 0, 18, 1), 3, " CP/M VERSION 2.24");
        const DiskAnalysis a = analyse(b);
        EXPECT_EQ(a.recognition.osCode, 'F');
        EXPECT_EQ(a.recognition.diskTitle, "FMG Corporation -  CP/M VERSION 2.24 Disk");
        EXPECT_EQ(a.recognition.osVersion, 224);
        EXPECT_EQ(a.diskInfo.substr(a.diskInfo.find("\r\n")), "\r\nDirTrack=   2[0002]");
        ASSERT_TRUE(a.recognition.parameters.has_value());
        EXPECT_EQ(a.recognition.parameters->sectorSize, 256);
        EXPECT_EQ(a.recognition.parameters->lastDirEntry, 63);
    }
    {
        DiskBuilder b;
        auto& s = b.sector(0, 0, 19, 2);
        DiskBuilder::put(s, 107, "Pickles & Trout");
        DiskBuilder::put(s, 15, "CP/M 2.2");
        const DiskAnalysis a = analyse(b);
        EXPECT_EQ(a.recognition.osCode, 'P');
        EXPECT_EQ(a.recognition.diskTitle, "Pickles & Trout CP/M 2.2 Disk");
        EXPECT_EQ(a.recognition.osVersion, 2);
    }
    {
        DiskBuilder b;
        DiskBuilder::put(b.sector(0, 0, 11, 1), 67, "Corvus");
        EXPECT_EQ(analyse(b).recognition.diskTitle, "Pickles & Trout Corvus Disk");
    }
    {
        DiskBuilder b;
        DiskBuilder::put(b.sector(0, 0, 13, 3), 8, "CP/M v2.24");
        const DiskAnalysis a = analyse(b);
        EXPECT_EQ(a.recognition.osCode, 'B');
        EXPECT_EQ(a.recognition.diskTitle, "Lifeboat CP/M v2.24 Disk");
        EXPECT_EQ(a.recognition.osVersion, 224);
        EXPECT_EQ(a.recognition.parameters->sectorTable,
                  (std::vector<std::uint8_t>{0, 1, 4, 7, 2, 5, 8, 3, 6}));
    }
}

TEST(Recognition, AtonTextAndVersionAndSides) {
    DiskBuilder b(2);
    DiskBuilder::put(b.sector(0, 1, 3, 3), 50, "ATON\r\n\nCP/M 2.2 \r\n\n VERSION 2.24");
    const DiskAnalysis a = analyse(b);
    EXPECT_EQ(a.recognition.osCode, 'A');
    EXPECT_EQ(a.recognition.diskTitle, "ATON CP/M 2.2 DSHD Disk");
    EXPECT_EQ(a.recognition.osVersion, 224);
    EXPECT_EQ(a.recognition.parameters->lastDirEntry, 191);

    DiskBuilder reversed;
    DiskBuilder::put(reversed.sector(1, 0, 3, 3), 1, "ATON \r\n\n then \r\n\n");
    EXPECT_EQ(analyse(reversed).recognition.diskTitle, "ATON  SSHD Disk");
    DiskBuilder missing;
    DiskBuilder::put(missing.sector(1, 0, 3, 3), 1, "ATON");
    EXPECT_EQ(analyse(missing).recognition.diskTitle, "ATON  SSHD Disk");
}

TEST(Recognition, UcsdVolumeRecordAndSectorTable) {
    DiskBuilder b;
    auto& s = b.sector(1, 0, 17, 0);
    s[6] = 5;
    DiskBuilder::put(s, 8, "SYSTMXX");
    s[14] = 0xD2, s[15] = 0x01;
    const unsigned date = 3 | (17 << 4) | (84 << 9);
    s[20] = date & 0xFF, s[21] = static_cast<std::uint8_t>(date >> 8);
    DiskBuilder::put(s, 40, "SYSTEM.PASCAL");
    const DiskAnalysis a = analyse(b);
    EXPECT_EQ(a.recognition.osCode, 'U');
    EXPECT_EQ(a.diskInfo,
              "UCSD Pascal Disk\r\nVolName='SYSTM', NBLKs=01D2, Date=17/03/1984\r\nDirTrack=   1[0001]");
    const auto& t = a.recognition.parameters->sectorTable;
    ASSERT_EQ(t.size(), 27u);
    EXPECT_EQ(t[1], 1);
    EXPECT_EQ(t[13], 25);
    EXPECT_EQ(t[14], 2);
    EXPECT_EQ(t[26], 26);
}

TEST(Recognition, XenixNeedsBothSignsElseUnknown) {
    DiskBuilder b;
    b.sector(0, 0, 1, 0)[5] = 0xE5;
    DiskBuilder::put(b.sector(1, 0, 1, 1), 1, "usr/lib");
    EXPECT_EQ(analyse(b).diskInfo, "Xenix TAR Disk\r\n\r\nDirTrack=   1[0001]");

    DiskBuilder none;
    none.sector(0, 0, 1, 0)[5] = 0xE5;
    none.sector(1, 0, 1, 1);
    const DiskAnalysis a = analyse(none);
    EXPECT_EQ(a.recognition.osCode, 0xFF);
    EXPECT_EQ(a.diskInfo, "Unknown Model II OS Disk\r\nDirTrack=   0[0000]");
}

TEST(Recognition, SectorTables) {
    EXPECT_EQ(cpmSectorTable(4, 1), (std::vector<std::uint8_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(ucsdSectorTable(6, 2), (std::vector<std::uint8_t>{0, 1, 3, 5, 2, 4, 6}));
}

}  // namespace
}  // namespace sv
