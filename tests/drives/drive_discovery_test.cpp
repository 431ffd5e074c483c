#include "drives/drive_discovery.h"

#include <gtest/gtest.h>

#include "drives/simulated_floppy_driver.h"

namespace sv {
namespace {

struct Startup {
    TextSink log;
    DriveAvailability found;
};

std::unique_ptr<Startup> startWith(SimulatedDriveOptions options, CatweaselCard card = {}) {
    auto startup = std::make_unique<Startup>();
    startup->log.show("Description");
    SimulatedFloppyDriver driver(makeDiskImage(), std::move(options));
    startup->found = discoverDrives(driver, startup->log);
    discoverCatweaselCards(startup->log, startup->found, card);
    EXPECT_EQ(startup->found.log, startup->log.currentText());
    return startup;
}

const std::vector<std::string> kBothDrives{"A:", "B:"};

TEST(DriveDiscovery, DriverPresentLeavesOnlyReadShown) {
    auto s = startWith({});
    EXPECT_EQ(s->log.currentText(),
              "Finding Physical drives \r\nPhysical Drives found\r\nFinding Catweasel Card(s)\r\n"
              "CatWeasel card is not installed, or could not be found.");
    EXPECT_EQ(s->found.driver, DriverState::Ready);
    EXPECT_EQ(s->found.drives, kBothDrives);
    EXPECT_TRUE(s->found.cards.empty());
    EXPECT_TRUE(s->found.cardDrives.empty());
}

TEST(DriveDiscovery, DriverAbsentRemovesReadAndNamesTheCause) {
    SimulatedDriveOptions options;
    options.driverPresent = false;
    auto s = startWith(options);
    EXPECT_EQ(s->log.currentText(),
              "Finding Physical drives \r\nFDRAWREAD.SYS is not installed, or no floppy drive "
              "present.\r\nFinding Catweasel Card(s)\r\n"
              "CatWeasel card is not installed, or could not be found.");
    EXPECT_EQ(s->found.driver, DriverState::Absent);
    EXPECT_TRUE(s->found.drives.empty());

    options.absenceCause = "Raw commands refused.";
    s = startWith(options);
    const std::string opening =
        "Finding Physical drives \r\nFDRAWREAD.SYS is not installed, or no floppy drive "
        "present.\r\nRaw commands refused.\r\n";
    EXPECT_EQ(s->log.currentText().substr(0, opening.size()), opening);
}

TEST(DriveDiscovery, OutOfDateOrUnreadableVersionRemovesRead) {
    for (std::uint32_t version : {0x01010000u, 0x02000000u}) {
        SimulatedDriveOptions options;
        options.version = version;
        auto s = startWith(options);
        EXPECT_EQ(s->log.currentText(),
                  "Finding Physical drives \r\nPhysical Drives found\r\nFDRAWREAD.SYS is out of "
                  "date, it needs to be v1.00.01.10 or above.\r\nFinding Catweasel Card(s)\r\n"
                  "CatWeasel card is not installed, or could not be found.");
        EXPECT_EQ(s->found.driver, DriverState::OutOfDate);
        EXPECT_EQ(s->found.drives, kBothDrives);
    }
    SimulatedDriveOptions failing;
    failing.versionQueryFails = true;
    EXPECT_EQ(startWith(failing)->found.driver, DriverState::OutOfDate);

    SimulatedDriveOptions older;
    older.version = 0x01000005;
    EXPECT_EQ(startWith(older)->found.driver, DriverState::Ready);
}

TEST(DriveDiscovery, CardPresentShowsCardControlsAndBothLists) {
    auto s = startWith({}, CatweaselCard{0x0A, 0xE800});
    const std::string text = s->log.currentText();
    EXPECT_EQ(text.substr(text.rfind("\r\n") + 2),
              "CatWeasel Type 0A card installed, at Base 0000E800h.");
    EXPECT_EQ(s->found.driver, DriverState::Ready);
    ASSERT_EQ(s->found.cards.size(), 1u);
    EXPECT_EQ(s->found.cards[0].baseAddress, 0xE800u);
    EXPECT_EQ(s->found.cardDrives, kBothDrives);
}

TEST(DriverVersion, FormatsAndAccepts) {
    EXPECT_EQ(formatDriverVersion(kRequiredDriverVersion), "1.00.01.10");
    EXPECT_EQ(formatDriverVersion(0x0C020304), "12.02.03.04");
    EXPECT_TRUE(driverVersionAccepted(0x01000005));
    EXPECT_TRUE(driverVersionAccepted(0x0100FFFF));
    EXPECT_FALSE(driverVersionAccepted(0x02000000));
    EXPECT_FALSE(driverVersionAccepted(0));
}

}  // namespace
}  // namespace sv
