#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/load_options.h"
#include "core/disk_image.h"
#include "core/operation_log.h"
#include "formats/save_preflight.h"

namespace sv {

// Loads an IMD file. The disk is cleared first. With options.imdSideLog it leaves a one-line side
// log next to it (the path with "log" in place of its last three characters); a file already
// there is replaced only when it starts as such a log does, and a side log that cannot be written
// is a note in the log, never a failed load.
void loadImdImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& options = {});

// The same load from bytes already in memory (`path` only names the file in the log).
void loadImdBytes(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                  OperationLog& log);

}  // namespace sv

namespace sv {

// Writes the disk as an ImageDisk 1.18 file at exactly `path`. What IMD cannot hold (bad IDs,
// marks other than normal and deleted, a track of mixed sector sizes or densities, which is
// split into one track record per run) is said in the log before the file is written.
bool saveImdImage(const std::string& path, const DiskImage& disk, OperationLog& log);

// What a save cannot give back as it is, found before a byte is written.
[[nodiscard]] SavePreflight imdSavePreflight(const DiskImage& disk);

// The file a save writes, with `stamp` ("dd/mm/yyyy hh:mm:ss") in its header line.
[[nodiscard]] std::vector<std::uint8_t> encodeImd(const DiskImage& disk, LogEditor& text,
                                                  std::string_view stamp);

}  // namespace sv
