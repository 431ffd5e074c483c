#include "drives/drive_discovery.h"

#include <gtest/gtest.h>

#include "drives/simulated_floppy_driver.h"

namespace sv {
namespace {

struct Startup {
    TextSink log;
    DriveControlStates controls;
};

std::unique_ptr<Startup> startWith(SimulatedDriveOptions options, CatweaselCard card = {}) {
    auto startup = std::make_unique<Startup>();
    startup->log.show("Description");
    SimulatedFloppyDriver driver(makeDiskImage(), std::move(options));
    discoverDrives(driver, startup->log, startup->controls);
    discoverCatweaselCards(startup->log, startup->controls, card);
    return startup;
}

const int kOtherControls[] = {control::readDriveList, control::writeButton,
                              control::writeDriveList, control::readCatweaselButton,
                              control::writeCatweaselButton};

TEST(DriveDiscovery, DriverPresentLeavesOnlyReadShown) {
    auto s = startWith({});
    EXPECT_EQ(s->log.currentText(),
              "Finding Physical drives \r\nPhysical Drives found\r\nFinding Catweasel Card(s)\r\n"
              "CatWeasel card is not installed, or could not be found.");
    EXPECT_TRUE(s->controls.shown(control::readButton));
    for (int id : kOtherControls) {
        EXPECT_FALSE(s->controls.state(id).visible) << id;
        EXPECT_FALSE(s->controls.state(id).enabled) << id;
    }
    EXPECT_EQ(s->controls.entries(control::readDriveList), (std::vector<std::string>{"A:", "B:"}));
}

TEST(DriveDiscovery, DriverAbsentRemovesReadAndNamesTheCause) {
    SimulatedDriveOptions options;
    options.driverPresent = false;
    auto s = startWith(options);
    EXPECT_EQ(s->log.currentText(),
              "Finding Physical drives \r\nFDRAWREAD.SYS is not installed, or no floppy drive "
              "present.\r\nFinding Catweasel Card(s)\r\n"
              "CatWeasel card is not installed, or could not be found.");
    EXPECT_FALSE(s->controls.state(control::readButton).visible);
    EXPECT_FALSE(s->controls.state(control::readButton).enabled);

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
        EXPECT_FALSE(s->controls.state(control::readButton).visible);
    }
    SimulatedDriveOptions failing;
    failing.versionQueryFails = true;
    EXPECT_FALSE(startWith(failing)->controls.shown(control::readButton));

    SimulatedDriveOptions older;
    older.version = 0x01000005;
    EXPECT_TRUE(startWith(older)->controls.shown(control::readButton));
}

TEST(DriveDiscovery, CardPresentShowsCardControlsAndBothLists) {
    auto s = startWith({}, CatweaselCard{0x0A, 0xE800});
    const std::string text = s->log.currentText();
    EXPECT_EQ(text.substr(text.rfind("\r\n") + 2),
              "CatWeasel Type 0A card installed, at Base 0000E800h.");
    for (int id : {control::readCatweaselButton, control::writeCatweaselButton,
                   control::readDriveList, control::writeDriveList, control::readButton}) {
        EXPECT_TRUE(s->controls.shown(id)) << id;
    }
    EXPECT_EQ(s->controls.entries(control::writeDriveList), (std::vector<std::string>{"A:", "B:"}));
    EXPECT_EQ(s->controls.entries(control::readDriveList).size(), 4u);
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
