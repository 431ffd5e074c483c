#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/load_options.h"
#include "core/disk_image.h"
#include "core/operation_log.h"
#include "formats/save_preflight.h"

namespace sv {

inline constexpr std::size_t kDmkHeaderBytes = 16;
inline constexpr std::size_t kDmkPointerTableBytes = 128;
inline constexpr int kDmkPointerEntries = 64;
inline constexpr std::uint16_t kDmkPointerMfm = 0x8000;
inline constexpr std::uint8_t kDmkSingleSided = 0x10;
inline constexpr std::uint8_t kDmkSingleDensity = 0x40;
inline constexpr std::uint8_t kDmkIgnoreDensity = 0x80;
// Track lengths above this are the long tracks of 8-inch disks; they are kept as 10560.
inline constexpr std::uint16_t kDmkLongTrackThreshold = 8192;
inline constexpr std::uint16_t kDmkLongTrackLength = 10560;

// Loads a DMK file. The disk is cleared first; the outcome is the disk and the log.
void loadDmkImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& options = {});

// The load after the file is in memory: header, tracks, sectors. The log text holds the opening
// line; this adds the progress field, the problem lines and, when the load succeeds, the
// closing text. The disk must be cleared.
void decodeDmk(std::span<const std::uint8_t> file, DiskImage& disk, LogEditor& text);

// Writes the disk as a DMK file at exactly `path`. False when nothing was written (the log
// says why).
bool saveDmkImage(const std::string& path, const DiskImage& disk, OperationLog& log);

// What a DMK save of this disk reports as not coming back as it is.
[[nodiscard]] SavePreflight dmkSavePreflight(const DiskImage& disk);

// The file a save writes, with the progress and problem lines added to the text; nothing when
// the disk cannot be written as DMK (the text says why).
[[nodiscard]] std::optional<std::vector<std::uint8_t>> encodeDmk(const DiskImage& disk,
                                                                 LogEditor& text);

}  // namespace sv
