// IMD writer: one track record per track (several when a track's sectors differ in size or
// density, since a record holds one of each), sectors in the order found.
#include <algorithm>
#include <ctime>

#include "formats/image_file.h"
#include "formats/imd.h"
#include "formats/save_preflight.h"

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

// A deleted flag, or the mark F8 that FM and MFM both read as deleted.
bool isDeleted(const SectorEntry& e) {
    return (e.status & status::deletedData) != 0 || e.dataAddressMark() == 0xF8;
}

// What a sector reads back as after a save: record type 0 for fill, else the status the record
// type gives; the state the reader derives from it.
bool comesBackAsItIs(const SectorEntry& e, DataState state) {
    if (isFill(state)) {
        return e.status == (status::damBit0 | status::damBit1 | status::idCrcError) &&
               state == DataState::NoDataField;
    }
    const bool error = (e.status & status::dataCrcError) != 0;
    const std::uint8_t back = static_cast<std::uint8_t>(
        (isDeleted(e) ? status::deletedData : status::damBit0 | status::damBit1) |
        (error ? status::dataCrcError : 0));
    return e.sizeCode <= kLargestHeldSizeCode && e.status == back &&
           state == dataStateOf({.crcError = error}, e.sizeCode);
}

constexpr std::array<LossRule, 8> kImdLosses{{
    {"sector has", "sectors have", " a bad ID; IMD cannot mark that, so it is saved as a good ID.",
     [](const SectorEntry& e, DataState state, int, int) {
         return (e.status & status::idCrcError) != 0 && !isFill(state);
     }},
    {"sector has", "sectors have",
     " the data mark F9 or FA, or a deleted flag beside a mark other than F8; IMD holds normal "
     "and deleted data only, so it is saved as one of them.",
     [](const SectorEntry& e, DataState state, int, int) {
         const int mark = e.status & 3;
         return !isFill(state) && (mark == 1 || mark == 2 ||
                                   ((e.status & status::deletedData) != 0 && mark != 0));
     }},
    {"sector has", "sectors have",
     " the data mark F8 without the deleted flag; IMD records it as deleted data, which reads "
     "back with the flag.",
     [](const SectorEntry& e, DataState state, int, int) {
         return !isFill(state) && (e.status & (status::deletedData | 3)) == 0;
     }},
    {"sector holds", "sectors hold",
     " fill, not data (no data field or not captured); saved as unavailable (record type 0), "
     "which reads back as 0xE5 with a bad ID.",
     [](const SectorEntry& e, DataState state, int, int) {
         return isFill(state) && !comesBackAsItIs(e, state);
     }},
    {"sector was", "sectors were", " cut short; IMD cannot say so, so it is saved as a data error.",
     [](const SectorEntry&, DataState state, int, int) { return state == DataState::CutShort; }},
    {"sector has", "sectors have",
     " a size code above 6, which IMD does not define; it is saved as the 1024 bytes held, size "
     "code 3.",
     [](const SectorEntry& e, DataState, int, int) { return e.sizeCode > kLargestSizeCode; }},
    {"sector is", "sectors are",
     " longer than the 1024 bytes held; the rest is saved as spaces and the sector marked as a "
     "data error.",
     [](const SectorEntry& e, DataState state, int, int) {
         return !isFill(state) && e.sizeCode > kLargestHeldSizeCode && e.sizeCode <= kLargestSizeCode;
     }},
    // Whatever else would not read back unchanged (a CRC bit and a state that disagree, bits
    // no format defines).
    {"sector has", "sectors have", " a status IMD cannot hold as it is; it is saved as its record type says.",
     [](const SectorEntry& e, DataState state, int, int) {
         const bool plainMark = (e.status & 7) == 3 || (e.status & 7) == 4;
         return !isFill(state) && state != DataState::CutShort &&
                e.sizeCode <= kLargestHeldSizeCode && (e.status & status::idCrcError) == 0 &&
                plainMark && !comesBackAsItIs(e, state);
     }},
}};

std::string sanitisedComment(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        out += b < 0x20 || b >= 0x7F ? '?' : ch;
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> encodeImd(const DiskImage& disk, LogEditor& text, std::string_view stamp) {
    const std::string header = "IMD 1.18: " + std::string(stamp) + "\r\nSaved by Sectorvane from " +
                               sanitisedComment(sourcePathTrimmed(disk)) + "\r\n";
    std::vector<std::uint8_t> file(header.begin(), header.end());
    file.push_back(kEndOfComment);

    text.openField(shortSectorField(0, 0, 0), true);
    std::string lastField = shortSectorField(0, 0, 0);
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
                    // Only the first 1024 bytes were kept: the rest is fill, and says so.
                    const bool clipped = e.sizeCode <= kLargestSizeCode && length > kSectorDataBytes;
                    data.resize(length, 0x20);
                    const bool error = (e.status & status::dataCrcError) != 0 || clipped ||
                                       state == DataState::CutShort;
                    const bool deleted = isDeleted(e);
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

    std::vector<std::string> notes = imdSavePreflight(disk).lines();
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

SavePreflight imdSavePreflight(const DiskImage& disk) { return preflightSave(disk, kImdLosses); }

bool saveImdImage(const std::string& path, const DiskImage& disk, OperationLog& log) {
    LogEditor text(log, "Saving IMD Image: " + path);
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
