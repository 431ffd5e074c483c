// IMD writer: one track record per track (several when a track's sectors differ in size or
// density, since a record holds one of each), sectors in the order found.
#include <algorithm>
#include <ctime>

#include "formats/image_file.h"
#include "formats/imd.h"

namespace sv {

namespace {

constexpr std::uint8_t kEndOfComment = 0x1A;
constexpr std::uint8_t kHeadCylinderMap = 0x80;
constexpr std::uint8_t kHeadHeadMap = 0x40;
constexpr std::uint8_t kLargestSizeCode = 6;
constexpr std::uint8_t kLargestHeldSizeCode = 3;  // a slot holds 1024 bytes
constexpr std::uint16_t kFastTrackLength = 10560;

// Modes by density and data rate: FM 500, FM 250, MFM 500, MFM 250 kbit/s.
std::uint8_t modeFor(bool fm, std::uint16_t trackLength) {
    const bool fast = trackLength == kFastTrackLength;
    return fm ? (fast ? 0 : 2) : (fast ? 3 : 5);
}

std::uint8_t writtenSizeCode(const SectorEntry& e) {
    return e.sizeCode > kLargestSizeCode ? kLargestHeldSizeCode : e.sizeCode;
}

// Counts what the file cannot hold, remembering the first sector of each kind for the log.
class Losses {
public:
    void add(std::size_t kind, const std::string& field) {
        if (counts_[kind]++ == 0) {
            first_[kind] = field;
        }
    }
    void report(std::vector<std::string>& notes, std::size_t kind, std::string_view what) const {
        if (counts_[kind] == 0) {
            return;
        }
        const std::size_t n = counts_[kind];
        notes.push_back(std::to_string(n) + (n == 1 ? " sector (" : " sectors (the first ") +
                        first_[kind] + ") " + std::string(what));
    }

private:
    std::array<std::size_t, 5> counts_{};
    std::array<std::string, 5> first_{};
};

enum Loss : std::size_t { BadId, OddMark, SizeBeyond, Clipped, KindCount };

std::string sanitisedComment(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        out += b < 0x20 || b >= 0x7F ? '?' : ch;
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> encodeImd(const DiskImage& disk, LogText& text, std::string_view stamp) {
    const std::string header = "IMD 1.18: " + std::string(stamp) + "\r\nSaved by Sectorvane from " +
                               sanitisedComment(sourcePathTrimmed(disk)) + "\r\n";
    std::vector<std::uint8_t> file(header.begin(), header.end());
    file.push_back(kEndOfComment);

    text.openField(shortSectorField(0, 0, 0), true);
    std::string lastField = shortSectorField(0, 0, 0);
    Losses losses;
    std::vector<std::string> splitTracks;
    std::vector<std::string> emptyTracks;
    const HeldGeometry held = heldGeometry(disk);
    for (int c = 0; c < std::min(held.cylinders, kMaxCylinders); ++c) {
        for (int h = 0; h < std::min(held.sides, kMaxSides); ++h) {
            const TrackRecord& track = disk.track(h, c);
            const int count = std::min<int>(track.sectorCount, kMaxSectorsPerTrack);
            const std::string where = "cylinder " + std::to_string(c) + " head " + std::to_string(h);
            if (count == 0) {
                emptyTracks.push_back(where);
                continue;
            }
            int runs = 0;
            for (int start = 0; start < count; ++runs) {
                const SectorEntry& first = track.sectors[start];
                int end = start + 1;
                while (end < count && writtenSizeCode(track.sectors[end]) == writtenSizeCode(first) &&
                       track.sectors[end].singleDensity == first.singleDensity) {
                    ++end;
                }
                const auto run = std::span(track.sectors).subspan(static_cast<std::size_t>(start),
                                                                  static_cast<std::size_t>(end - start));
                const bool cylinderMap = std::any_of(run.begin(), run.end(), [&](const SectorEntry& e) { return e.cylinder != c; });
                const bool headMap = std::any_of(run.begin(), run.end(), [&](const SectorEntry& e) { return e.head != h; });
                const std::uint8_t sizeCode = writtenSizeCode(first);
                file.push_back(modeFor(first.singleDensity == 1, disk.trackLength));
                file.push_back(static_cast<std::uint8_t>(c));
                file.push_back(static_cast<std::uint8_t>(h | (cylinderMap ? kHeadCylinderMap : 0) |
                                                         (headMap ? kHeadHeadMap : 0)));
                file.push_back(static_cast<std::uint8_t>(run.size()));
                file.push_back(sizeCode);
                for (const SectorEntry& e : run) file.push_back(e.record);
                if (cylinderMap) {
                    for (const SectorEntry& e : run) file.push_back(e.cylinder);
                }
                if (headMap) {
                    for (const SectorEntry& e : run) file.push_back(e.head);
                }
                const std::size_t length = std::size_t{128} << sizeCode;
                for (int k = start; k < end; ++k) {
                    const SectorEntry& e = track.sectors[k];
                    lastField = shortSectorField(e.cylinder, e.head, e.record);
                    text.setField(lastField);
                    const DataState state = dataState(disk, h, c, k);
                    if (state == DataState::NoDataField || state == DataState::NotCaptured) {
                        file.push_back(0);  // data unavailable
                        continue;
                    }
                    std::vector<std::uint8_t> data(e.data.begin(),
                                                   e.data.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(length, kSectorDataBytes)));
                    bool error = (e.status & status::dataCrcError) != 0;
                    if (e.sizeCode > kLargestSizeCode) {
                        losses.add(SizeBeyond, lastField);
                    } else if (length > kSectorDataBytes) {
                        // Only the first 1024 bytes were kept: the rest is fill, and says so.
                        data.resize(length, 0x20);
                        error = true;
                        losses.add(Clipped, lastField);
                    }
                    if ((e.status & status::idCrcError) != 0) {
                        losses.add(BadId, lastField);
                    }
                    const std::uint8_t mark = e.dataAddressMark();
                    const bool deleted = (e.status & status::deletedData) != 0 || mark == 0xF8;
                    if (!deleted && mark != 0xFB) {
                        losses.add(OddMark, lastField);
                    }
                    const bool compressed = std::all_of(data.begin(), data.end(),
                                                        [&](std::uint8_t b) { return b == data[0]; });
                    file.push_back(static_cast<std::uint8_t>(1 + (compressed ? 1 : 0) + (deleted ? 2 : 0) +
                                                             (error ? 4 : 0)));
                    if (compressed) {
                        file.push_back(data[0]);
                    } else {
                        file.insert(file.end(), data.begin(), data.end());
                    }
                }
                start = end;
            }
            if (runs > 1) {
                splitTracks.push_back(where + " (" + std::to_string(runs) + " records)");
            }
        }
    }

    std::vector<std::string> notes;
    losses.report(notes, BadId, "had a bad ID; IMD cannot mark that, so it is saved as a good ID.");
    losses.report(notes, OddMark,
                  "had a data mark other than FB or F8; IMD holds only normal and deleted marks, so "
                  "it is saved as normal.");
    losses.report(notes, SizeBeyond,
                  "had a size code above 6, which IMD does not define; it is saved as 1024 bytes "
                  "(size code 3), the bytes held.");
    losses.report(notes, Clipped,
                  "is longer than the 1024 bytes held; the rest is saved as spaces and the sector "
                  "marked as a data error.");
    if (!splitTracks.empty()) {
        notes.push_back("A track record holds one sector size and density; " +
                        std::to_string(splitTracks.size()) +
                        (splitTracks.size() == 1 ? " track mixes them and is" : " tracks mix them and are") +
                        " split into one record per run, in order (the first: " + splitTracks[0] +
                        "); readers that keep one record per track keep only the last.");
    }
    if (!emptyTracks.empty()) {
        notes.push_back(std::to_string(emptyTracks.size()) +
                        (emptyTracks.size() == 1 ? " track holds" : " tracks hold") +
                        " no sector and IMD has no record for that (the first: " + emptyTracks[0] +
                        "); left out.");
    }
    addNotesAboveClosing(text, notes, lastField);
    return file;
}

bool saveImdImage(const std::string& path, const DiskImage& disk, OperationLog& log) {
    LogText text(log, "Saving IMD Image: " + path);
    const std::time_t now = std::time(nullptr);
    char stamp[32] = "01/01/1970 00:00:00";
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(stamp, sizeof stamp, "%d/%m/%Y %H:%M:%S", local);
    }
    const auto file = encodeImd(disk, text, stamp);
    if (!commitImageFile(path, file, text)) {
        return false;
    }
    text.finish(" - IMD image saved.");
    return true;
}

}  // namespace sv
