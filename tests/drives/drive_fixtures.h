#pragma once

// Disks for the simulated drive, built from the fixture generator's own model, and a driver
// wrapper that records (and may rewrite) what the reader asks of a drive.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/disk_image.h"
#include "drives/floppy_driver.h"
#include "mkdisk/fixture.h"

namespace svtest {

// The model as a DiskImage: slots in the model's order, data padded as the model pads it.
[[nodiscard]] std::shared_ptr<sv::DiskImage> diskFromModel(const mkdisk::Disk& model,
                                                           std::uint16_t trackLength = 10560);

// A Model II disk whose every sector holds bytes of its own.
[[nodiscard]] mkdisk::Disk patternedModel2Disk(int sides, int cylinders = 77);

struct DriveCalls {
    std::vector<int> seeks;                    // cylinders
    std::vector<std::pair<int, int>> scans;    // (rate, flags) of every scan
    std::vector<sv::ReadRequest> reads;
    std::vector<std::size_t> readBufferSizes;
    int openedUnit = -1;
};

class RecordingDriver : public sv::FloppyDriver {
public:
    using ScanHook = std::function<std::optional<sv::TrackScan>(int cylinder, std::uint8_t flags,
                                                                std::uint8_t head)>;
    using ReadHook = std::function<std::optional<sv::ReadResult>(const sv::ReadRequest&,
                                                                 std::span<std::uint8_t>)>;

    explicit RecordingDriver(sv::FloppyDriver& inner) : inner_(inner) {}

    sv::DriverStatus queryDriver() override { return inner_.queryDriver(); }
    std::unique_ptr<sv::FloppyDrive> openDrive(int unit) override;

    DriveCalls calls;
    ScanHook scanHook;  // a result replaces the inner drive's
    ReadHook readHook;

private:
    sv::FloppyDriver& inner_;
};

}  // namespace svtest
