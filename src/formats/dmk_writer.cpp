#include <algorithm>

#include "formats/dmk.h"
#include "formats/image_file.h"
#include "formats/save_preflight.h"
#include "track/track_layout.h"

namespace sv {

namespace {

constexpr std::size_t kLargestTrackBytes = 0xFFFF;
constexpr std::size_t kLargestPointerOffset = 0x7FFF;

struct DmkTrack {
    std::vector<std::uint8_t> bytes;
    std::uint8_t fill;
};

// The synthesised track as DMK stores it: the pointer table, then every byte, FM bytes twice
// (DMK's double-density spacing). Nothing when an ID lies beyond what a pointer can reach.
std::optional<DmkTrack> storeTrack(const TrackLayout& layout) {
    DmkTrack track{std::vector<std::uint8_t>(kDmkPointerTableBytes, 0), layout.fill().value};
    track.bytes.reserve(kDmkPointerTableBytes + 2 * layout.bytes.size());
    std::size_t slot = 0;
    for (std::size_t i = 0; i < layout.bytes.size(); ++i) {
        const TrackByte& b = layout.bytes[i];
        if (slot < static_cast<std::size_t>(layout.sectorCount) && i == layout.idMarkAt[slot]) {
            const std::size_t offset = track.bytes.size();
            if (offset > kLargestPointerOffset) {
                return std::nullopt;
            }
            const auto pointer = static_cast<std::uint16_t>(offset | (b.fm ? 0 : kDmkPointerMfm));
            track.bytes[slot * 2] = static_cast<std::uint8_t>(pointer);
            track.bytes[slot * 2 + 1] = static_cast<std::uint8_t>(pointer >> 8);
            ++slot;
        }
        track.bytes.push_back(b.value);
        if (b.fm) {
            track.bytes.push_back(b.value);
        }
    }
    return track;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> encodeDmk(const DiskImage& disk, LogEditor& text) {
    const auto geometry = writtenGeometry(disk, text);
    if (!geometry) {
        return std::nullopt;
    }
    const int cylinders = geometry->cylinders;
    const int sides = geometry->sides;
    text.openField(sectorField(0, 0, 0), false);
    std::vector<DmkTrack> tracks;
    TrackSynthesis synthesis(disk);
    std::size_t longest = 0;
    for (int c = 0; c < cylinders; ++c) {
        for (int s = 0; s < sides; ++s) {
            auto track = storeTrack(synthesis.track(s, c, text));
            if (!track) {
                text.fail("Track " + std::to_string(c) + " side " + std::to_string(s) +
                              " is too long for a DMK file; nothing was saved.",
                          "Operation aborted.");
                return std::nullopt;
            }
            longest = std::max(longest, track->bytes.size());
            tracks.push_back(std::move(*track));
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
    for (DmkTrack& track : tracks) {
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
    return commitEncodedImage(path, file, dmkSavePreflight(disk).lines(), text, " - DMK image saved.");
}

}  // namespace sv
