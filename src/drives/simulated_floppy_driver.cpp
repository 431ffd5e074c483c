#include "drives/simulated_floppy_driver.h"

#include <algorithm>

namespace sv {

namespace {

constexpr std::uint16_t kHighDensityTrackLength = 10560;

}  // namespace

class SimulatedDrive : public FloppyDrive {
public:
    explicit SimulatedDrive(SimulatedFloppyDriver& driver) : driver_(driver) {}

    void seek(std::uint8_t cylinder, std::uint8_t /*head*/) override { cylinder_ = cylinder; }
    void setDataRate(std::uint8_t rateCode) override { rate_ = rateCode; }

    TrackScan scanTrack(std::uint8_t flags, std::uint8_t head) override {
        TrackScan scan;
        const TrackRecord* track = trackUnderHead(head);
        if (track == nullptr) {
            return scan;
        }
        const int count = std::min<int>(track->sectorCount, kMaxSectorsPerTrack);
        for (int slot = 0; slot < count && scan.count < kMaxScanIds; ++slot) {
            const SectorEntry& s = track->sectors[slot];
            if (encodingMatches(s, flags)) {
                scan.ids[scan.count++] = SectorId{s.cylinder, s.head, s.record, s.sizeCode};
            }
        }
        return scan;
    }

    ReadResult readSector(const ReadRequest& request, std::span<std::uint8_t> buffer) override {
        const TrackRecord* track = trackUnderHead(request.physicalHead);
        if (track == nullptr) {
            return {};
        }
        const int count = std::min<int>(track->sectorCount, kMaxSectorsPerTrack);
        for (int slot = 0; slot < count; ++slot) {
            const SectorEntry& s = track->sectors[slot];
            if (!encodingMatches(s, request.flags) || s.cylinder != request.cylinder ||
                s.head != request.head || s.record != request.record ||
                s.sizeCode != request.sizeCode) {
                continue;
            }
            const std::size_t wanted =
                request.sizeCode == 0 ? request.dataLength : s.lengthBytes();
            const std::size_t stored = std::min<std::size_t>(wanted, kSectorDataBytes);
            const std::size_t returned = std::min(stored, buffer.size());
            std::copy_n(s.data.begin(), returned, buffer.begin());
            return ReadResult{failsThisTime(request.physicalHead, slot, s) ? ReadOutcome::CrcError
                                                                            : ReadOutcome::Read,
                              returned};
        }
        return {};
    }

private:
    [[nodiscard]] int imageTrack() const {
        if (!driver_.options_.doubleStepped) {
            return cylinder_;
        }
        return cylinder_ % 2 == 0 ? cylinder_ / 2 : -1;
    }

    // The track the head sits on, or nullptr when the disk has nothing there or the rate is
    // not the disk's own.
    [[nodiscard]] const TrackRecord* trackUnderHead(int head) const {
        const DiskImage& disk = *driver_.disk_;
        const std::uint8_t diskRate =
            disk.trackLength == kHighDensityTrackLength ? rate::kbps500 : rate::kbps250;
        const int t = imageTrack();
        if (rate_ != diskRate || t < 0 || t >= std::min<int>(disk.trackCount, kMaxCylinders) ||
            head >= std::min<int>(disk.sideCount, kMaxSides)) {
            return nullptr;
        }
        return &disk.track(head, t);
    }

    [[nodiscard]] static bool encodingMatches(const SectorEntry& s, std::uint8_t flags) {
        return (s.status & status::idCrcError) == 0 &&
               (s.singleDensity != 0) == ((flags & encoding::mfm) == 0);
    }

    bool failsThisTime(int side, int slot, const SectorEntry& s) {
        if ((s.status & status::dataCrcError) == 0) {
            return false;
        }
        const int readsBefore = driver_.reads_[{side, imageTrack(), slot}]++;
        const int limit = driver_.options_.crcFailuresBeforeGood;
        return limit < 0 || readsBefore < limit;
    }

    SimulatedFloppyDriver& driver_;
    int cylinder_ = 0;
    std::uint8_t rate_ = rate::kbps500;
};

SimulatedFloppyDriver::SimulatedFloppyDriver(std::shared_ptr<const DiskImage> disk,
                                             SimulatedDriveOptions options)
    : disk_(std::move(disk)), options_(std::move(options)) {}

DriverStatus SimulatedFloppyDriver::queryDriver() {
    if (!options_.driverPresent) {
        return DriverStatus{false, 0, options_.absenceCause};
    }
    return DriverStatus{true, options_.versionQueryFails ? 0 : options_.version, {}};
}

std::unique_ptr<FloppyDrive> SimulatedFloppyDriver::openDrive(int unit) {
    if (!options_.driverPresent || (unit == 0 && !options_.driveAPresent) ||
        (unit == 1 && !options_.driveBPresent) || unit < 0 || unit > 1) {
        return nullptr;
    }
    return std::make_unique<SimulatedDrive>(*this);
}

int SimulatedFloppyDriver::readsOf(int side, int track, int slot) const {
    const auto found = reads_.find({side, track, slot});
    return found == reads_.end() ? 0 : found->second;
}

}  // namespace sv
