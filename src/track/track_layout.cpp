#include "track/track_layout.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

#include "core/crc16.h"

namespace sv {

namespace {

constexpr std::uint8_t kMfmGap = 0x4E;
constexpr std::uint8_t kFmGap = 0xFF;
constexpr std::uint8_t kIdMark = 0xFE;
constexpr std::uint8_t kIndexMark = 0xFC;
constexpr std::uint16_t kLongTrackThreshold = 8192;
constexpr int kLargestWritableSizeCode = 7;

constexpr std::size_t kTrackBytesReserved = 12 * 1024;

class LayoutBuilder {
public:
    explicit LayoutBuilder(TrackLayout& layout) : layout_(layout) {}

    void setFm(bool fm) { fm_ = fm; }
    void put(std::uint8_t b) { layout_.bytes.push_back(TrackByte{b, fm_, false}); }
    void put(std::span<const std::uint8_t> bytes) {
        for (const std::uint8_t b : bytes) {
            put(b);
        }
    }
    void put(std::uint8_t b, std::size_t times) {
        layout_.bytes.insert(layout_.bytes.end(), times, TrackByte{b, fm_, false});
    }
    void putMark(std::uint8_t b, std::size_t times = 1) {
        layout_.bytes.insert(layout_.bytes.end(), times, TrackByte{b, fm_, true});
    }
    void putCrc(std::uint16_t crc) {
        put(static_cast<std::uint8_t>(crc >> 8));
        put(static_cast<std::uint8_t>(crc));
    }
    [[nodiscard]] std::size_t offset() const { return layout_.bytes.size(); }

private:
    TrackLayout& layout_;
    bool fm_ = false;
};

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

std::uint8_t chooseGap3(const TrackRecord& track, std::uint16_t trackLength, bool fmFirst,
                        std::uint8_t previous) {
    const bool longTrack = trackLength > kLongTrackThreshold;
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

void writePreamble(LayoutBuilder& track, bool fm, bool longTrack) {
    track.setFm(fm);
    if (fm && !longTrack) {
        track.put(kFmGap, 16);
        return;
    }
    if (fm) {
        track.put(kFmGap, 40);
        track.put(0x00, 6);
        track.putMark(kIndexMark);
        track.put(kFmGap, 26);
        return;
    }
    track.put(kMfmGap, 80);
    track.put(0x00, 12);
    track.putMark(0xC2, 3);
    track.put(kIndexMark);
    track.put(kMfmGap, 50);
}

// The sync and address mark that open an ID or data field; returns the CRC register after the
// mark.
std::uint16_t writeMark(LayoutBuilder& track, bool fm, std::uint8_t mark) {
    track.put(0x00, fm ? 6 : 12);
    if (fm) {
        track.putMark(mark);
        return crc16Update(kCrc16Initial, mark);
    }
    track.putMark(0xA1, 3);
    track.put(mark);
    return crc16Update(kCrc16AfterMfmSync, mark);
}

void writeSector(LayoutBuilder& track, const SectorEntry& e, DataState state, std::uint8_t gap3,
                 std::size_t& idMarkAt, LogEditor& text) {
    const bool fm = e.singleDensity == 1;
    track.setFm(fm);
    const std::array<std::uint8_t, 4> id{e.cylinder, e.head, e.record, e.sizeCode};
    idMarkAt = track.offset() + (fm ? 6 : 15);
    std::uint16_t crc = crc16(id, writeMark(track, fm, kIdMark));
    track.put(id);
    if ((e.status & status::idCrcError) != 0) {
        text.mark(" BadID");  // the ID is written correct; the fault is only reported
    }
    track.putCrc(crc);
    track.put(fm ? kFmGap : kMfmGap, fm ? 11 : 22);
    if (isFill(state)) {
        // An ID without a data field, as on the disk: inventing one would present fill as data.
        if ((e.status & status::dataCrcError) != 0) {
            text.mark(" CRC");
        }
        track.put(fm ? kFmGap : kMfmGap, fm ? 28 : gap3);
        return;
    }

    const std::uint8_t mark = e.dataAddressMark();
    crc = writeMark(track, fm, mark);
    const std::size_t length = writtenDataBytes(e);
    const auto held = std::span<const std::uint8_t>(e.data).first(std::min(length, e.data.size()));
    track.put(held);
    crc = crc16(held, crc);
    // A slot holds 1024 bytes; the rest of a longer sector is padded, under a failing CRC.
    track.put(0xFF, length - held.size());
    for (std::size_t i = held.size(); i < length; ++i) {
        crc = crc16Update(crc, 0xFF);
    }
    if ((e.status & status::dataCrcError) != 0) {
        text.mark(" CRC");
    }
    if ((e.status & status::dataCrcError) != 0 || e.sizeCode > 3 || state == DataState::CutShort) {
        crc = failingCrc(crc);
    }
    track.putCrc(crc);
    track.put(fm ? kFmGap : kMfmGap, fm ? 28 : gap3);
}

}  // namespace

TrackLayout TrackSynthesis::track(int side, int cylinder, LogEditor& text) {
    TrackLayout layout;
    // An 8-inch double-density track is about 10,400 bytes; room for one grows once at most.
    layout.bytes.reserve(kTrackBytesReserved);
    const TrackRecord& t = disk_.track(side, cylinder);
    layout.sectorCount = std::min<int>(t.sectorCount, kMaxSectorsPerTrack);
    layout.fmFirst = layout.sectorCount > 0 && t.sectors[0].singleDensity == 1;
    gap3_ = chooseGap3(t, disk_.trackLength, layout.fmFirst, gap3_);
    LayoutBuilder builder(layout);
    writePreamble(builder, layout.fmFirst, disk_.trackLength > kLongTrackThreshold);
    for (int i = 0; i < layout.sectorCount; ++i) {
        const SectorEntry& e = t.sectors[i];
        text.setField(sectorField(e.cylinder, e.head, e.record));
        writeSector(builder, e, dataState(disk_, side, cylinder, i), gap3_,
                    layout.idMarkAt[static_cast<std::size_t>(i)], text);
    }
    return layout;
}

}  // namespace sv
