#pragma once

// A DiskImage served as a disk in a turning drive, so a whole physical read can be tried,
// tested and demonstrated without hardware. Time is virtual: nothing sleeps.
//
// The disk answers only at its own data rate (500 kbit/s for 10560-byte tracks, 360 rpm; else
// 250 kbit/s, 300 rpm) and only in each sector's own encoding. Each track side is laid out in the
// image's slot order from the index, every sector as long as its bytes, gaps and marks make it.
// Every command costs the controller's latency and then the time the disk turns under it: a READ
// ID answers the next ID to pass the head, a read waits for its sector, and a side without IDs
// answers after two index pulses. IDs marked idCrcError answer as IDs with a CRC error and are
// never found by a read, as on a controller. Sectors marked dataCrcError fail with the CRC error
// on every read, or only on their first reads; sectors marked deletedData carry the deleted mark.

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>

#include "core/disk_image.h"
#include "drives/floppy_driver.h"

namespace sv {

struct SimulatedDriveOptions {
    bool driverPresent = true;
    std::string absenceCause;
    bool versionQueryFails = false;
    std::uint32_t version = kRequiredDriverVersion;
    bool driveAPresent = true;
    bool driveBPresent = true;
    // The image's track t lies at physical cylinder 2t (a 40-track disk in an 80-track drive).
    bool doubleStepped = false;
    // How many reads of a dataCrcError sector fail before one reads clean; < 0 = every read.
    int crcFailuresBeforeGood = -1;
    // From a command's call until the controller watches the track. A sector time or more
    // makes every READ ID miss the ID after the one it answered: a slow controller.
    std::chrono::nanoseconds commandLatency{200'000};
    // Commands (numbered from 1 over the driver's life, seeks included) whose first attempt a
    // signal interrupts (EINTR).
    std::set<int> interruptedCommands;
};

class SimulatedFloppyDriver : public FloppyDriver {
public:
    SimulatedFloppyDriver(std::shared_ptr<const DiskImage> disk, SimulatedDriveOptions options = {});

    [[nodiscard]] DriverStatus queryDriver() override;
    [[nodiscard]] std::unique_ptr<FloppyDrive> openDrive(int unit) override;
    [[nodiscard]] std::string openFailure(int unit) const override;

    // Reads made so far of a sector, by (side, image track, slot index): for the tests.
    [[nodiscard]] int readsOf(int side, int track, int slot) const;
    // Virtual time since the driver was made, and the disk's index-to-index time.
    [[nodiscard]] std::chrono::nanoseconds elapsed() const { return clock_; }
    [[nodiscard]] std::chrono::nanoseconds revolution() const;
    // READ IDs issued so far, and the attempts a signal interrupted.
    [[nodiscard]] int readIdCount() const { return readIds_; }
    [[nodiscard]] int interruptions() const { return interruptions_; }

private:
    friend class SimulatedDrive;
    std::shared_ptr<const DiskImage> disk_;
    SimulatedDriveOptions options_;
    std::map<std::tuple<int, int, int>, int> reads_;
    std::chrono::nanoseconds clock_{0};
    int commands_ = 0;
    int readIds_ = 0;
    int interruptions_ = 0;
};

}  // namespace sv
