#include <algorithm>
#include <cfenv>
#include <cmath>

#include "core/crc16.h"
#include "formats/dmk.h"
#include "formats/image_file.h"
#include "formats/save_preflight.h"

namespace sv {

namespace {

constexpr std::uint8_t kMfmGap = 0x4E;
constexpr std::uint8_t kFmGap = 0xFF;
constexpr std::uint8_t kIdMark = 0xFE;
constexpr int kLargestWritableSizeCode = 7;
constexpr std::size_t kLargestTrackBytes = 0xFFFF;
constexpr std::size_t kLargestPointerOffset = 0x7FFF;

// One track's bytes as a controller would lay them down, pointer table first (filled in when the
// track is done). Grows past the disk's track length when the sectors need it.
class TrackBuilder {
public:
    explicit TrackBuilder(bool fmDoubled) : fm_(fmDoubled) { bytes_.resize(kDmkPointerTableBytes, 0); }

    // One recorded byte: FM bytes are stored twice (DMK's double-density spacing).
    void put(std::uint8_t b, std::size_t times = 1) {
        bytes_.insert(bytes_.end(), times * (fm_ ? 2 : 1), b);
    }
    void putAll(std::span<const std::uint8_t> bs) {
        for (const std::uint8_t b : bs) {
            put(b);
        }
    }
    void setFm(bool fm) { fm_ = fm; }
    [[nodiscard]] std::size_t offset() const { return bytes_.size(); }
    void setPointer(int slot, std::uint16_t pointer) {
        bytes_[static_cast<std::size_t>(slot) * 2] = static_cast<std::uint8_t>(pointer);
        bytes_[static_cast<std::size_t>(slot) * 2 + 1] = static_cast<std::uint8_t>(pointer >> 8);
    }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    bool fm_;
};

void putCrc(TrackBuilder& track, std::uint16_t crc) {
    track.put(static_cast<std::uint8_t>(crc >> 8));
    track.put(static_cast<std::uint8_t>(crc));
}

// A data CRC that fails on reading, so a damaged sector stays damaged in the saved image.
std::uint16_t failingCrc(std::uint16_t crc) {
    const auto high = static_cast<std::uint8_t>(crc >> 8);
    const auto low = static_cast<std::uint8_t>(crc);
    if (high == low) {
        return static_cast<std::uint16_t>(crc ^ 0xFFFF);
    }
    return static_cast<std::uint16_t>((low << 8) | high);
}

// A size code above 7 names a sector longer than any track; only a damaged ID has one. Its data
// field holds the 1024 bytes the slot kept, and reads back as they were read: cut by the track.
bool isImpossibleLength(const SectorEntry& e) { return e.sizeCode > kLargestWritableSizeCode; }

std::size_t writtenDataBytes(const SectorEntry& e) {
    return isImpossibleLength(e) ? e.data.size() : e.lengthBytes();
}

int roundHalfEven(double value) {
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(saved);
    return static_cast<int>(rounded);
}

// Gap 3 is chosen per track from slot 1 and the track length, and kept from track to track
// when a track does not choose one.
std::uint8_t chooseGap3(const TrackRecord& track, std::uint16_t trackLength, bool fmFirst,
                        std::uint8_t previous) {
    const bool longTrack = trackLength > kDmkLongTrackThreshold;
    if (fmFirst) {
        if (longTrack) {
            return previous;
        }
        const std::uint8_t n = track.sectors[0].sizeCode;
        return (n <= 1 || n > 3) ? 22 : previous;
    }
    if (longTrack) {
        switch (track.sectorCount) {
        case 8:
            return 116;
        case 9:
            return 56;
        case 26:
            return 54;
        default:
            return 22;
        }
    }
    if (track.sectorCount == 0) {
        return previous;  // nothing to share the track between
    }
    long remainder = static_cast<long>(trackLength) - 183;
    for (int i = 0; i < track.sectorCount; ++i) {
        remainder -= static_cast<long>(writtenDataBytes(track.sectors[i]) + 61);
    }
    return static_cast<std::uint8_t>(roundHalfEven(static_cast<double>(remainder) / track.sectorCount) & 0xFF);
}

void writePreamble(TrackBuilder& track, bool fm, bool longTrack) {
    if (fm && !longTrack) {
        track.put(0xFF, 16);
        return;
    }
    if (fm) {
        track.put(0xFF, 40);
        track.put(0x00, 6);
        track.put(0xFC);
        track.put(0xFF, 26);
        return;
    }
    track.put(kMfmGap, 80);
    track.put(0x00, 12);
    track.put(0xC2, 3);
    track.put(0xFC);
    track.put(kMfmGap, 50);
}


void writeDataBytes(TrackBuilder& track, const SectorEntry& e, std::uint16_t& crc) {
    const std::size_t length = writtenDataBytes(e);
    for (std::size_t i = 0; i < length; ++i) {
        // A slot holds 1024 bytes; the rest of a longer sector is padded, under a failing CRC.
        const std::uint8_t b = i < e.data.size() ? e.data[i] : 0xFF;
        track.put(b);
        crc = crc16Update(crc, b);
    }
}

// Returns the ID mark's offset in the track.
std::size_t writeSector(TrackBuilder& track, const SectorEntry& e, DataState state,
                        std::uint8_t gap3, LogEditor& text) {
    const bool fm = e.singleDensity == 1;
    track.setFm(fm);
    const std::array<std::uint8_t, 4> id{e.cylinder, e.head, e.record, e.sizeCode};
    std::uint16_t crc = fm ? kCrc16Initial : kCrc16AfterMfmSync;

    track.put(0x00, fm ? 6 : 12);
    if (!fm) {
        track.put(0xA1, 3);
    }
    const std::size_t idOffset = track.offset();
    track.put(kIdMark);
    crc = crc16Update(crc, kIdMark);
    track.putAll(id);
    crc = crc16(id, crc);
    if ((e.status & status::idCrcError) != 0) {
        text.mark(" BadID");  // the ID is written correct; the fault is only reported
    }
    putCrc(track, crc);

    if (isFill(state)) {
        // An ID without a data field, as on the disk: inventing one would present fill as data.
        if ((e.status & status::dataCrcError) != 0) {
            text.mark(" CRC");
        }
        track.put(fm ? kFmGap : kMfmGap, fm ? 28 + 11 : 22 + gap3);
        return idOffset;
    }
    track.put(fm ? kFmGap : kMfmGap, fm ? 11 : 22);
    track.put(0x00, fm ? 6 : 12);
    if (!fm) {
        track.put(0xA1, 3);
    }
    crc = fm ? kCrc16Initial : kCrc16AfterMfmSync;
    const std::uint8_t mark = e.dataAddressMark();
    track.put(mark);
    crc = crc16Update(crc, mark);
    writeDataBytes(track, e, crc);
    if ((e.status & status::dataCrcError) != 0) {
        text.mark(" CRC");
    }
    if ((e.status & status::dataCrcError) != 0 || e.sizeCode > 3 || state == DataState::CutShort) {
        crc = failingCrc(crc);
    }
    putCrc(track, crc);
    track.put(fm ? kFmGap : kMfmGap, fm ? 28 : gap3);
    return idOffset;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> encodeDmk(const DiskImage& disk, LogEditor& text) {
    const HeldGeometry held = heldGeometry(disk);
    const int cylinders = std::min<int>(held.cylinders, kMaxCylinders);
    const int sides = std::clamp<int>(held.sides, 1, kMaxSides);
    if (cylinders == 0) {
        text.fail("No disk is loaded: there is nothing to save.", "Operation aborted.");
        return std::nullopt;
    }
    text.openField(sectorField(0, 0, 0), false);
    struct BuiltTrack {
        std::vector<std::uint8_t> bytes;
        std::uint8_t fill;
    };
    std::vector<BuiltTrack> tracks;
    std::uint8_t gap3 = 0;
    std::size_t longest = 0;
    for (int c = 0; c < cylinders; ++c) {
        for (int s = 0; s < sides; ++s) {
            const TrackRecord& t = disk.track(s, c);
            const int count = std::min<int>(t.sectorCount, kMaxSectorsPerTrack);
            const bool fmFirst = count > 0 && t.sectors[0].singleDensity == 1;
            gap3 = chooseGap3(t, disk.trackLength, fmFirst, gap3);
            TrackBuilder track(fmFirst);
            writePreamble(track, fmFirst, disk.trackLength > kDmkLongTrackThreshold);
            for (int i = 0; i < count; ++i) {
                const SectorEntry& e = t.sectors[i];
                text.setField(sectorField(e.cylinder, e.head, e.record));
                const std::size_t idOffset =
                    writeSector(track, e, dataState(disk, s, c, i), gap3, text);
                if (idOffset > kLargestPointerOffset) {
                    text.fail("Track " + std::to_string(c) + " side " + std::to_string(s) +
                                  " is too long for a DMK file; nothing was saved.",
                              "Operation aborted.");
                    return std::nullopt;
                }
                track.setPointer(i, static_cast<std::uint16_t>(
                                        idOffset | (e.singleDensity == 1 ? 0 : kDmkPointerMfm)));
            }
            longest = std::max(longest, track.offset());
            tracks.push_back({std::move(track.bytes()), fmFirst ? kFmGap : kMfmGap});
        }
    }

    std::size_t trackLength = std::max<std::size_t>(disk.trackLength, kDmkPointerTableBytes);
    if (longest > trackLength) {
        if (longest > kLargestTrackBytes) {
            text.fail("A track needs " + std::to_string(longest) +
                          " bytes, more than a DMK track can hold; nothing was saved.",
                      "Operation aborted.");
            return std::nullopt;
        }
        text.mark(" - the longest track needs " + std::to_string(longest) + " bytes, more than " +
                  std::to_string(disk.trackLength) + ": the file's tracks are " +
                  std::to_string(longest) + " bytes long");
        trackLength = longest;
    }

    std::vector<std::uint8_t> file(kDmkHeaderBytes, 0);
    file[1] = static_cast<std::uint8_t>(cylinders);
    file[2] = static_cast<std::uint8_t>(trackLength);
    file[3] = static_cast<std::uint8_t>(trackLength >> 8);
    // FM bytes are always written doubled, so the single-density bits would misdescribe the file.
    std::uint8_t flags = disk.formatFlags & static_cast<std::uint8_t>(~(kDmkSingleDensity | kDmkIgnoreDensity));
    flags = sides == 1 ? (flags | kDmkSingleSided) : (flags & static_cast<std::uint8_t>(~kDmkSingleSided));
    file[4] = flags;
    file.reserve(kDmkHeaderBytes + tracks.size() * trackLength);
    for (BuiltTrack& track : tracks) {
        track.bytes.resize(trackLength, track.fill);
        file.insert(file.end(), track.bytes.begin(), track.bytes.end());
    }
    return file;
}

namespace {

constexpr std::array<LossRule, 4> kDmkLosses{{
    // Marked on the sector's own line as it is written.
    {"sector has", "sectors have", "",
     [](const SectorEntry& e, DataState, int, int) {
         return (e.status & status::idCrcError) != 0;
     }},
    {"sector is", "sectors are",
     " longer than the 1024 bytes kept; written padded with 0xFF under a failing CRC.",
     [](const SectorEntry& e, DataState state, int, int) {
         return e.sizeCode > 3 && !isFill(state);
     }},
    {"sector has", "sectors have",
     " no data field or was not captured; written as an ID without a data field.",
     [](const SectorEntry&, DataState state, int, int) { return isFill(state); }},
    {"sector was", "sectors were",
     " cut short; written under a failing CRC, so it reads back as a CRC error.",
     [](const SectorEntry&, DataState state, int, int) { return state == DataState::CutShort; }},
}};

}  // namespace

SavePreflight dmkSavePreflight(const DiskImage& disk) { return preflightSave(disk, kDmkLosses); }

bool saveDmkImage(const std::string& path, const DiskImage& disk, OperationLog& log) {
    LogEditor text(log, "Saving DMK Image: " + path);
    const auto file = encodeDmk(disk, text);
    if (!file) {
        return false;
    }
    addNotesAboveClosing(text, dmkSavePreflight(disk).lines(), text.field());
    if (!commitImageFile(path, *file, text)) {
        return false;
    }
    text.finish(" - DMK image saved.");
    return true;
}

}  // namespace sv
