#include "drives/physical_reader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/sector_health.h"

namespace sv {

namespace {

constexpr int kProbeCylinder = 6;
// The progress bar's length until a longer disk proves it wrong.
constexpr int kModelIITracks = 77;
constexpr int kCrcRetries = 5;
constexpr int kMaxSizeCode = 7;  // 16 KB, the largest sector a controller can transfer
constexpr std::uint16_t kTrackLength500Kbps = 10560;
constexpr std::uint16_t kTrackLengthOther = 6528;

constexpr const char* kPleaseCorrect = " Please correct and try again.";

struct Probe {
    std::uint8_t rate = 0;
    std::uint8_t encoding = encoding::mfm;
    TrackScan scan;
};

struct GapAndLength {
    std::uint8_t gap;
    std::uint8_t dataLength;
};

GapAndLength gapAndLength(std::uint8_t sizeCode) {
    switch (sizeCode) {
    case 0: return {0x1B, 0x80};
    case 1: return {0x36, 0xFF};
    case 2: return {0x51, 0xFF};
    default: return {0x76, 0xFF};
    }
}

const char* rateText(std::uint8_t rateCode) {
    switch (rateCode) {
    case rate::kbps500: return "8in or 5.25in HD, ";
    case rate::kbps300: return "5.25in or 3.5in DD in HD, ";
    default: return "5.25in HD, ";
    }
}

// Rates in the order tried; MFM before FM at each.
std::optional<Probe> probeDisk(FloppyDrive& drive) {
    drive.seek(kProbeCylinder, 0);
    for (std::uint8_t rateCode : {rate::kbps500, rate::kbps300, rate::kbps250}) {
        drive.setDataRate(rateCode);
        for (std::uint8_t flags : {encoding::mfm, encoding::fm}) {
            TrackScan scan = drive.scanTrack(flags, 0);
            if (scan.count > 0) {
                return Probe{rateCode, flags, scan};
            }
        }
    }
    return std::nullopt;
}

// One track side's scan: MFM first, FM when MFM finds nothing.
std::pair<TrackScan, std::uint8_t> scanSide(FloppyDrive& drive, std::uint8_t side) {
    TrackScan scan = drive.scanTrack(encoding::mfm, side);
    if (scan.count > 0) {
        return {scan, encoding::mfm};
    }
    return {drive.scanTrack(encoding::fm, side), encoding::fm};
}

// What a whole read found besides its sectors, for its closing summary.
struct ReadTally {
    int good = 0;
    int badIds = 0;
    int incompleteSides = 0;
};

// One line above the closing lines: what was read, what is still damaged, and that the read
// ended as it should (the bad-track lines after it mark the end of the disk, not a failure).
std::string readSummary(const ReadTally& tally, const DiskImage& disk, int tracksRead) {
    const std::string counts[] = {std::to_string(tally.good) + " sectors read good"};
    std::string text = summaryLine(counts, damagedSectors(disk));
    if (tally.badIds > 0) {
        text += "; " + std::to_string(tally.badIds) +
                (tally.badIds == 1 ? " ID with a CRC error" : " IDs with a CRC error");
    }
    if (tally.incompleteSides > 0) {
        text += "; " + std::to_string(tally.incompleteSides) +
                (tally.incompleteSides == 1 ? " track side" : " track sides") +
                " not scanned completely";
    }
    if (tracksRead >= kMaxCylinders) {
        return text + ". The read ended normally after " + std::to_string(tracksRead) +
               " tracks, the most a disk holds.";
    }
    return text + ". The read ended normally: track " + std::to_string(tracksRead) +
           " has no IDs, so the disk has " + std::to_string(tracksRead) + " tracks.";
}

// "T002 H0": the track side of a line that names no sector.
std::string trackSideField(int t, int s) { return shortSectorField(t, s, 0).substr(0, 7); }

class DiskReader {
public:
    DiskReader(DiskImage& disk, FloppyDrive& drive, LogEditor& log, OperationLog& progress)
        : disk_(disk), drive_(drive), log_(log), progress_(progress) {}

    // Reads tracks until the last side of one has no IDs, or 80 tracks.
    void readTracks(int step, std::uint8_t rateCode) {
        drive_.setDataRate(rateCode);
        int t = 0;
        for (; t < kMaxCylinders; ++t) {
            bool lastSideFound = false;
            for (int s = 0; s < disk_.sideCount; ++s) {
                lastSideFound = readTrackSide(t, s, step);
            }
            if (!lastSideFound) {
                break;
            }
            markBadTracks();
        }
        disk_.trackCount = static_cast<std::uint8_t>(t);
        // The summary goes above the bad-track lines that end the read.
        addNotesAboveClosing(log_, {readSummary(tally_, disk_, t)}, log_.field());
        markBadTracks();
    }

private:
    // A side without IDs is marked once it is known whether its track ends the read.
    void markBadTracks() {
        for (const auto& [t, s] : pendingBadSides_) {
            log_.setField(shortSectorField(t, s, 0).substr(0, 8));
            log_.mark(" Bad Track ", shortSectorField(t, s, 0));
        }
        pendingBadSides_.clear();
    }

    bool readTrackSide(int t, int s, int step) {
        const auto c = static_cast<std::uint8_t>(t * step);
        const auto side = static_cast<std::uint8_t>(s);
        drive_.seek(c, 0);
        log_.setField(shortSectorField(t, s, 0));
        const auto [scan, flags] = scanSide(drive_, side);
        if (scan.count > 0) {
            markBadTracks();  // this track goes on: a side before it without IDs is no end
        }
        if (scan.badIdCount > 0) {
            tally_.badIds += scan.badIdCount;
            log_.setField(trackSideField(t, s));
            log_.mark(scan.badIdCount == 1
                          ? " 1 ID with a CRC error: its sector was not read"
                          : " " + std::to_string(scan.badIdCount) +
                                " IDs with a CRC error: their sectors were not read",
                      shortSectorField(t, s, 0));
        }
        if (scan.incomplete) {
            ++tally_.incompleteSides;
            log_.setField(trackSideField(t, s));
            log_.mark(" scan incomplete: part of the track was never seen, IDs may be missing",
                      shortSectorField(t, s, 0));
        }
        if (scan.count == 0) {
            pendingBadSides_.emplace_back(t, s);
            return false;
        }
        int count = scan.count;
        if (count > kMaxSectorsPerTrack) {
            std::string marker(1, ' ');
            marker += std::to_string(count);
            marker += " IDs, the first " + std::to_string(kMaxSectorsPerTrack) + " kept";
            log_.mark(marker);
            count = kMaxSectorsPerTrack;
        }
        for (int i = 0; i < count; ++i) {
            readSector(scan.ids[static_cast<std::size_t>(i)], t, side, c, step, flags);
        }
        return true;
    }

    void readSector(const SectorId& id, int t, std::uint8_t side, std::uint8_t c, int step,
                    std::uint8_t flags) {
        const GapAndLength gl = gapAndLength(id.sizeCode);
        // The controller compares the request with the recorded ID, so the request names the
        // ID's own cylinder and head; on a double-stepped disk these are not the head position.
        const ReadRequest request{flags,       side,
                                  id.cylinder, id.head,
                                  id.record,   id.sizeCode,
                                  static_cast<std::uint8_t>(id.record + 1),
                                  gl.gap,      gl.dataLength};
        const std::size_t wanted = std::size_t{128} << std::min<int>(id.sizeCode, kMaxSizeCode);
        if (transfer_.size() < wanted) {
            transfer_.resize(wanted);
        }
        const std::span<std::uint8_t> buffer(transfer_.data(), wanted);

        ReadResult result = drive_.readSector(request, buffer);
        for (int retry = 0; retry < kCrcRetries && result.outcome == ReadOutcome::CrcError;
             ++retry) {
            result = drive_.readSector(request, buffer);
        }

        // A sector starts from a clean copy: bytes a failed read did not return are never
        // another sector's.
        std::fill(working_.begin(), working_.end(), std::uint8_t{0});
        std::copy_n(buffer.begin(), std::min({result.bytesReturned, wanted, working_.size()}),
                    working_.begin());

        SectorEntry* entry = appendSector(disk_, side, t);
        if (entry == nullptr) {
            return;  // cannot happen: the scan was cut to the track's capacity
        }
        entry->cylinder = step == 1 ? c : id.cylinder;
        entry->head = side;
        entry->record = id.record;
        entry->sizeCode = id.sizeCode;
        entry->singleDensity = flags == encoding::fm ? 1 : 0;
        entry->status = result.deletedMark ? status::deletedData
                                           : static_cast<std::uint8_t>(status::damBit0 |
                                                                       status::damBit1);
        setSectorData(*entry, std::span<const std::uint8_t>(
                                  working_.data(), std::min<std::size_t>(wanted, kSectorDataBytes)));
        log_.setField(shortSectorField(entry->cylinder, entry->head, entry->record));
        progress_.progress(t + 1, std::max(kModelIITracks, t + 1),
                           shortSectorField(entry->cylinder, entry->head, entry->record));
        setDataState(disk_, side, t, disk_.track(side, t).sectorCount - 1,
                     dataStateOf({.noDataField = result.outcome == ReadOutcome::Failed &&
                                                 result.bytesReturned == 0,
                                  .cutShort = result.bytesReturned <
                                              std::min<std::size_t>(wanted, kSectorDataBytes),
                                  .crcError = result.outcome != ReadOutcome::Read},
                                 id.sizeCode));
        if (result.outcome == ReadOutcome::CrcError) {
            entry->status |= status::dataCrcError;
            log_.mark(" CRC");
        } else if (result.outcome == ReadOutcome::Failed) {
            // Nothing trustworthy came back: marked like a CRC error so that a merge with another
            // read replaces it.
            entry->status |= status::dataCrcError;
            log_.mark(" Unreadable");
        }
        if (result.outcome == ReadOutcome::Read) {
            ++tally_.good;
        }
    }

    DiskImage& disk_;
    FloppyDrive& drive_;
    LogEditor& log_;
    OperationLog& progress_;
    std::vector<std::uint8_t> transfer_ = std::vector<std::uint8_t>(kSectorDataBytes);
    std::array<std::uint8_t, kSectorDataBytes> working_{};
    ReadTally tally_;
    std::vector<std::pair<int, int>> pendingBadSides_;  // (track, side)
};

}  // namespace

void readPhysicalDisk(std::string_view drive, DiskImage& disk, FloppyDriver& driver,
                      OperationLog& log) {
    clear(disk);
    LogEditor text(log, "Loading Physical disc in Drive " + std::string(drive));

    const DriverStatus status = driver.queryDriver();
    if (!status.present) {
        text.line(std::string("FDRAWREAD.SYS is not installed, or no floppy drive present.") +
                  kPleaseCorrect);
        if (!status.absenceCause.empty()) {
            text.line(status.absenceCause);
        }
        return;
    }
    if (!driverVersionAccepted(status.version)) {
        text.line("FDRAWREAD.SYS is out of date, it needs to be v" +
                  formatDriverVersion(kRequiredDriverVersion) + " or above." + kPleaseCorrect);
        return;
    }

    int unit = -1;
    if (!drive.empty()) {
        if (drive[0] == 'A' || drive[0] == 'a') {
            unit = 0;
        } else if (drive[0] == 'B' || drive[0] == 'b') {
            unit = 1;
        }
    }
    std::unique_ptr<FloppyDrive> floppy = unit < 0 ? nullptr : driver.openDrive(unit);
    if (floppy == nullptr) {
        text.line(std::string("Floppy drive was not opened.") + kPleaseCorrect);
        const std::string cause =
            unit >= 0       ? driver.openFailure(unit)
            : drive.empty() ? std::string("No drive was named; the drives are A: and B:.")
                            : std::string(drive) + " names no drive; the drives are A: and B:.";
        if (!cause.empty()) {
            text.line(cause);
        }
        return;
    }

    text.line("Determining Drive parameters.");
    const std::optional<Probe> probe = probeDisk(*floppy);
    if (!probe) {
        text.line("Could not determine parameters - exiting.");
        return;
    }
    // A zeroed second ID (a scan of one) counts as not cylinder 6, so as double-stepped.
    const bool singleStepped = probe->scan.count > 1 && probe->scan.ids[1].cylinder == kProbeCylinder;
    const bool doubleSided = floppy->scanTrack(probe->encoding, 1).count > 0;
    disk.trackLength = probe->rate == rate::kbps500 ? kTrackLength500Kbps : kTrackLengthOther;
    disk.sideCount = doubleSided ? 2 : 1;
    text.line(std::string("Drive size is ") + rateText(probe->rate) +
              (singleStepped ? "Single-" : "Double-") + "Stepped, and " +
              (doubleSided ? "Double-" : "Single-") + "Sided. ");

    text.openField(shortSectorField(0, 0, 0), false);
    DiskReader reader(disk, *floppy, text, log);
    reader.readTracks(singleStepped ? 1 : 2, probe->rate);
    floppy.reset();
    noteOutsideGeometry(text, disk);
    text.finish("- Physical disk loaded.");
}

}  // namespace sv
