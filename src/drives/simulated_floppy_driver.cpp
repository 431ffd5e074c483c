#include "drives/simulated_floppy_driver.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "drives/track_scan.h"

namespace sv {

namespace {

constexpr std::uint16_t kHighDensityTrackLength = 10560;
constexpr Nanoseconds kRevolutionAt300Rpm{200'000'000};
constexpr Nanoseconds kStepTime{3'000'000};
constexpr Nanoseconds kSettleTime{15'000'000};
// The first ID lies a fiftieth of a turn after the index (gap 4a, the index mark, gap 1).
constexpr int kPreambleFiftieths = 1;

// Byte counts of the track layout: FM, then MFM.
struct FieldBytes {
    int id;        // sync, address mark, ID, CRC
    int gap2;
    int dataMark;  // sync and data address mark
};
constexpr FieldBytes kFmFields{6 + 7, 11, 7};
constexpr FieldBytes kMfmFields{12 + 10, 22, 16};

struct Placed {
    int slot;
    Nanoseconds start;   // the ID's first sync byte
    Nanoseconds idEnd;
    Nanoseconds dataEnd;
};

struct Attempt {
    bool interrupted = false;
    IdAnswer answer;
    ReadResult result;
};

}  // namespace

class SimulatedDrive : public FloppyDrive, private ReadIdPort {
public:
    explicit SimulatedDrive(SimulatedFloppyDriver& driver) : driver_(driver) {}

    void seek(std::uint8_t cylinder, std::uint8_t /*head*/) override {
        (void)retryInterrupted([&] { return Attempt{startCommand(), {}, {}}; });
        if (cylinder != cylinder_) {
            driver_.clock_ += kStepTime * std::abs(cylinder - cylinder_) + kSettleTime;
        }
        cylinder_ = cylinder;
    }

    void setDataRate(std::uint8_t rateCode) override { rate_ = rateCode; }

    TrackScan scanTrack(std::uint8_t flags, std::uint8_t head) override {
        return scanTrackByTime(*this, scanTiming(rate_, flags), flags, head, latencyBound_);
    }

    IdAnswer readId(std::uint8_t flags, std::uint8_t head) override {
        int attempts = 0;
        IdAnswer answer = retryInterrupted([&] {
                              ++attempts;
                              return readIdOnce(flags, head);
                          }).answer;
        answer.retried = attempts > 1;
        return answer;
    }
    Nanoseconds now() override { return driver_.clock_; }
    void waitFor(Nanoseconds duration) override { driver_.clock_ += duration; }

    ReadResult readSector(const ReadRequest& request, std::span<std::uint8_t> buffer) override {
        return retryInterrupted([&] { return readOnce(request, buffer); }).result;
    }

private:
    // Counts the command; true when a signal interrupts this attempt.
    bool startCommand() {
        const int number = ++driver_.commands_;
        driver_.clock_ += driver_.options_.commandLatency;
        if (driver_.options_.interruptedCommands.count(number) != 0) {
            ++driver_.interruptions_;
            return true;
        }
        return false;
    }

    Attempt readIdOnce(std::uint8_t flags, std::uint8_t head) {
        ++driver_.readIds_;
        if (startCommand()) {
            return Attempt{true, {}, {}};
        }
        const TrackRecord* track = trackUnderHead(head);
        const std::optional<Placed> next = nextPassing(track, [&](const SectorEntry& s) {
            return encodingMatches(s, flags);
        });
        if (!next) {
            waitTwoIndexPulses();
            return Attempt{false, IdAnswer{IdAnswerKind::NoId, {}}, {}};
        }
        driver_.clock_ = next->idEnd;
        const SectorEntry& s = track->sectors[static_cast<std::size_t>(next->slot)];
        const bool badId = (s.status & status::idCrcError) != 0;
        return Attempt{false,
                       IdAnswer{badId ? IdAnswerKind::BadId : IdAnswerKind::Id,
                                SectorId{s.cylinder, s.head, s.record, s.sizeCode}},
                       {}};
    }

    Attempt readOnce(const ReadRequest& request, std::span<std::uint8_t> buffer) {
        if (startCommand()) {
            return Attempt{true, {}, {}};
        }
        const TrackRecord* track = trackUnderHead(request.physicalHead);
        const std::optional<Placed> found = nextPassing(track, [&](const SectorEntry& s) {
            return encodingMatches(s, request.flags) && (s.status & status::idCrcError) == 0 &&
                   s.cylinder == request.cylinder && s.head == request.head &&
                   s.record == request.record && s.sizeCode == request.sizeCode;
        });
        if (!found) {
            waitTwoIndexPulses();
            return {};
        }
        driver_.clock_ = found->dataEnd;
        const SectorEntry& s = track->sectors[static_cast<std::size_t>(found->slot)];
        const std::size_t wanted = request.sizeCode == 0 ? request.dataLength : s.lengthBytes();
        const std::size_t stored = std::min<std::size_t>(wanted, kSectorDataBytes);
        const std::size_t returned = std::min(stored, buffer.size());
        std::copy_n(s.data.begin(), returned, buffer.begin());
        const bool fails = failsThisTime(request.physicalHead, found->slot, s);
        return Attempt{false,
                       {},
                       ReadResult{fails ? ReadOutcome::CrcError : ReadOutcome::Read, returned,
                                  (s.status & status::deletedData) != 0}};
    }

    [[nodiscard]] int imageTrack() const {
        if (!driver_.options_.doubleStepped) {
            return cylinder_;
        }
        return cylinder_ % 2 == 0 ? cylinder_ / 2 : -1;
    }

    [[nodiscard]] std::uint8_t diskRate() const {
        return driver_.disk_->trackLength == kHighDensityTrackLength ? rate::kbps500
                                                                     : rate::kbps250;
    }

    // The track the head sits on, or nullptr when the disk has nothing there or the rate is
    // not the disk's own.
    [[nodiscard]] const TrackRecord* trackUnderHead(int head) const {
        const DiskImage& disk = *driver_.disk_;
        const int t = imageTrack();
        if (rate_ != diskRate() || t < 0 || t >= std::min<int>(disk.trackCount, kMaxCylinders) ||
            head >= std::min<int>(disk.sideCount, kMaxSides)) {
            return nullptr;
        }
        return &disk.track(head, t);
    }

    // Where each sector of the track lies in a turn; sectors that do not fit are squeezed in
    // evenly, so a crowded image still turns.
    [[nodiscard]] std::vector<Placed> layout(const TrackRecord& track) const {
        const Nanoseconds turn = driver_.revolution();
        const Nanoseconds preamble = turn * kPreambleFiftieths / 50;
        const int count = std::min<int>(track.sectorCount, kMaxSectorsPerTrack);
        std::vector<Placed> placed;
        Nanoseconds cursor = preamble;
        for (int slot = 0; slot < count; ++slot) {
            const SectorEntry& s = track.sectors[static_cast<std::size_t>(slot)];
            const bool fm = s.singleDensity != 0;
            const FieldBytes& f = fm ? kFmFields : kMfmFields;
            const Nanoseconds byteTime = scanTiming(diskRate(), fm ? encoding::fm : encoding::mfm).byteTime;
            const long length = 128L << std::min<int>(s.sizeCode, 7);
            const long gap3 = 27L * (std::min<int>(s.sizeCode, 3) + 1);
            const Nanoseconds idEnd = cursor + byteTime * f.id;
            const Nanoseconds dataEnd = idEnd + byteTime * (f.gap2 + f.dataMark + length + 2);
            placed.push_back(Placed{slot, cursor, idEnd, dataEnd});
            cursor = dataEnd + byteTime * gap3;
        }
        if (cursor > turn - preamble && count > 0) {
            const Nanoseconds pitch = (turn - preamble * 2) / count;
            for (Placed& p : placed) {
                const Nanoseconds start = preamble + pitch * p.slot;
                p.idEnd += start - p.start;
                p.dataEnd += start - p.start;
                p.start = start;
            }
        }
        return placed;
    }

    // The first sector accepted by `wanted` whose ID starts at or after the moment the
    // controller begins to watch (now); nothing when none does.
    template <typename Wanted>
    [[nodiscard]] std::optional<Placed> nextPassing(const TrackRecord* track, Wanted wanted) const {
        if (track == nullptr) {
            return std::nullopt;
        }
        const Nanoseconds turn = driver_.revolution();
        const Nanoseconds now = driver_.clock_;
        const Nanoseconds phase = now % turn;
        std::optional<Placed> best;
        Nanoseconds bestWait{};
        for (const Placed& p : layout(*track)) {
            if (!wanted(track->sectors[static_cast<std::size_t>(p.slot)])) {
                continue;
            }
            Nanoseconds wait = (p.start - phase) % turn;
            if (wait < Nanoseconds::zero()) {
                wait += turn;
            }
            if (!best || wait < bestWait) {
                best = p;
                bestWait = wait;
            }
        }
        if (best) {
            const Nanoseconds shift = now + bestWait - best->start;
            best->start += shift;
            best->idEnd += shift;
            best->dataEnd += shift;
        }
        return best;
    }

    void waitTwoIndexPulses() {
        const Nanoseconds turn = driver_.revolution();
        driver_.clock_ = (driver_.clock_ / turn + 2) * turn;
    }

    [[nodiscard]] static bool encodingMatches(const SectorEntry& s, std::uint8_t flags) {
        return (s.singleDensity != 0) == ((flags & encoding::mfm) == 0);
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
    Nanoseconds latencyBound_ = kRevolutionAt360Rpm;
};

SimulatedFloppyDriver::SimulatedFloppyDriver(std::shared_ptr<const DiskImage> disk,
                                             SimulatedDriveOptions options)
    : disk_(std::move(disk)), options_(std::move(options)) {}

std::chrono::nanoseconds SimulatedFloppyDriver::revolution() const {
    return disk_->trackLength == kHighDensityTrackLength ? kRevolutionAt360Rpm
                                                         : kRevolutionAt300Rpm;
}

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

std::string SimulatedFloppyDriver::openFailure(int unit) const {
    if (unit == 0 || unit == 1) {
        return std::string("The simulation has no drive ") + (unit == 0 ? "A" : "B") + ".";
    }
    return {};
}

int SimulatedFloppyDriver::readsOf(int side, int track, int slot) const {
    const auto found = reads_.find({side, track, slot});
    return found == reads_.end() ? 0 : found->second;
}

}  // namespace sv
