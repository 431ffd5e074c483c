#pragma once

// Model II disks of the CP/M family, UCSD Pascal and Xenix tar, laid out by the generator's own
// reading of those formats (never the engine's).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mkdisk/fixture.h"

namespace mkdisk {

// The data tracks of one CP/M implementation on the Model II. Cylinder 0 side 0 stays the
// Model II boot track (FM, 26 x 128); every other track has this shape.
struct CpmFormat {
    int sides = 1;
    int sectorsPerTrack = 26;
    int sizeCode = 1;
    int skew = 1;
    bool wideBlocks = false;  // two-byte block numbers
    int dirEntries = 64;
    int reservedTracks = 2;
    int blockBytes = 2048;

    [[nodiscard]] int sectorBytes() const { return 128 << sizeCode; }
};

enum class CpmSystem { fmg, picklesTrout, picklesTroutBiosmods, picklesTroutCorvus, lifeboat, aton };

[[nodiscard]] CpmFormat cpmFormat(CpmSystem system, int sides = 1);

// A CP/M file system on a Model II disk.
class CpmVolume {
public:
    CpmVolume(CpmSystem system, int sides = 1);

    // Stores `data` in fresh blocks and returns their numbers.
    std::vector<int> allocate(std::span<const std::uint8_t> data);
    // Writes directory entry `index` as given.
    void entry(int index, int user, std::string_view name, std::string_view type, int extent,
               int records, const std::vector<int>& blocks);
    // Stores a whole file: one entry per 16 KB extent (EX 0, 1, ...), in free directory slots.
    void addFile(std::string_view name, std::string_view type, std::span<const std::uint8_t> data,
                 int user = 0);
    // The bytes of logical sector `sector` (1-based) of logical track `track`.
    std::vector<std::uint8_t>& logicalSector(int track, int sector);

    [[nodiscard]] const CpmFormat& format() const { return format_; }
    [[nodiscard]] Disk& disk() { return disk_; }
    [[nodiscard]] int freeEntry() const { return nextEntry_; }

private:
    CpmFormat format_;
    Disk disk_;
    std::vector<int> skewTable_;
    int nextBlock_;
    int nextEntry_ = 0;
};

// A cpmtools-style image (tracks in order, each track's sectors in physical order, the same
// shape for every track) placed on a Model II disk of that system: the boot track is replaced by
// the Model II one with the system's signature.
[[nodiscard]] Disk wrapCpmImage(CpmSystem system, std::span<const std::uint8_t> image,
                                int sides = 1);

// Deterministic file contents: numbered text lines, ending with CP/M's 0x1A padding to 128.
[[nodiscard]] std::vector<std::uint8_t> sampleText(std::string_view tag, std::size_t bytes);

[[nodiscard]] Disk fmgSample();
[[nodiscard]] Disk picklesTroutSample();
[[nodiscard]] Disk picklesTroutBiosmodsSample();
[[nodiscard]] Disk picklesTroutCorvusSample();
[[nodiscard]] Disk lifeboatSample();
[[nodiscard]] Disk atonSingleSample();
[[nodiscard]] Disk atonDoubleSample();
[[nodiscard]] Disk ucsdSample();
[[nodiscard]] Disk xenixTarSample();

}  // namespace mkdisk
