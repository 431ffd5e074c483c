#pragma once

// A DiskImage served as a disk in a drive, so a whole physical read can be tried, tested and
// demonstrated without hardware.
//
// The disk answers only at its own data rate (500 kbit/s for 10560-byte tracks, else 250) and
// only in each sector's own encoding; IDs come in slot order; a read finds its sector by the
// full ID (cylinder, head, record, size code), as a controller does. Sectors marked
// dataCrcError fail with the CRC error on every read, or only on their first reads; IDs
// marked idCrcError are never found, as a controller never answers with one.

#include <map>
#include <memory>
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
};

class SimulatedFloppyDriver : public FloppyDriver {
public:
    SimulatedFloppyDriver(std::shared_ptr<const DiskImage> disk, SimulatedDriveOptions options = {});

    [[nodiscard]] DriverStatus queryDriver() override;
    [[nodiscard]] std::unique_ptr<FloppyDrive> openDrive(int unit) override;

    // Reads made so far of a sector, by (side, image track, slot index): for the tests.
    [[nodiscard]] int readsOf(int side, int track, int slot) const;

private:
    friend class SimulatedDrive;
    std::shared_ptr<const DiskImage> disk_;
    SimulatedDriveOptions options_;
    std::map<std::tuple<int, int, int>, int> reads_;
};

}  // namespace sv
