#pragma once

// Raw sector images: the sector data only, track after track (cylinder order, side 0 before
// side 1), each track's sectors in ascending record order. Nothing in the file names the layout:
// it comes from the file's size or from the user.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/load_options.h"
#include "core/disk_image.h"
#include "core/operation_log.h"
#include "formats/save_preflight.h"

namespace sv {

struct RawTrackShape {
    int sectors = 0;
    std::uint8_t sizeCode = 0;
    bool fm = false;
    int firstRecord = 1;

    friend bool operator==(const RawTrackShape&, const RawTrackShape&) = default;
    [[nodiscard]] std::size_t bytes() const {
        return static_cast<std::size_t>(sectors) * (std::size_t{128} << sizeCode);
    }
};

struct RawGeometry {
    int cylinders = 0;
    int heads = 1;
    RawTrackShape boot;   // cylinder 0 on the first `bootSides` sides
    int bootSides = 1;
    RawTrackShape rest;   // every other track

    friend bool operator==(const RawGeometry&, const RawGeometry&) = default;
    [[nodiscard]] const RawTrackShape& shapeOf(int cylinder, int side) const {
        return cylinder == 0 && side < bootSides ? boot : rest;
    }
    [[nodiscard]] std::uint64_t bytes() const;
};

// The layout a file of this size holds, from the table of known raw sizes; nullptr when none.
struct RawLayout {
    std::uint64_t bytes;
    RawGeometry geometry;
    std::string_view name;
    std::string_view alsoFits;  // the other layout of the same size, when there is one
};
[[nodiscard]] const RawLayout* rawLayoutForSize(std::uint64_t bytes);

// "CYL:HEADS:SECTORS:SIZE" with optional ":fm0" (cylinder 0 side 0 is 26 x 128 FM), ":fm" or
// ":mfm" (the density of the other tracks; 128-byte sectors are FM, others MFM, by default) and
// ":r0" (records count from 0). nullopt and `error` set when the text is not such a layout.
[[nodiscard]] std::optional<RawGeometry> parseRawGeometry(std::string_view text, std::string& error);
// The same form for a layout, or empty when the form cannot say it.
[[nodiscard]] std::string rawGeometryText(const RawGeometry& geometry);
// "77 cylinders, 1 side, 26 x 256 MFM; cylinder 0 side 0 26 x 128 FM"
[[nodiscard]] std::string describeRawGeometry(const RawGeometry& geometry);

// Loads a raw image by the layout its size names. The disk is cleared first.
void loadRawImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& options = {});
// Loads a raw image in the layout given.
void loadRawImageAs(const std::string& path, const RawGeometry& geometry, DiskImage& disk,
                    OperationLog& log);
// The same loads from bytes already in memory; no geometry: by size.
void loadRawBytes(std::span<const std::uint8_t> bytes, const std::string& path,
                  const RawGeometry* geometry, DiskImage& disk, OperationLog& log);

// The layout of a disk as a raw image, or nullopt and the reason (naming the first track that
// does not fit) when its tracks differ in a way a raw image cannot hold.
[[nodiscard]] std::optional<RawGeometry> rawGeometryOf(const DiskImage& disk, std::string& reason);

// Writes the disk as a raw image at exactly `path`. Refused before anything is written when the
// tracks cannot be held; what a raw image cannot mark (errors, marks, IDs) is said in the log.
[[nodiscard]] SavePreflight rawSavePreflight(const DiskImage& disk);
bool saveRawImage(const std::string& path, const DiskImage& disk, OperationLog& log);
[[nodiscard]] std::optional<std::vector<std::uint8_t>> encodeRaw(const DiskImage& disk, LogEditor& text);

}  // namespace sv
