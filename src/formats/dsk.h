#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/load_options.h"
#include "core/disk_image.h"
#include "core/operation_log.h"
#include "formats/save_preflight.h"

namespace sv {

// Loads a sector-table DSK file, every block of it. The disk is cleared first; the outcome is
// the disk and the log.
void loadDskImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& options = {});

// Writes the disk as a DSK file at exactly `path`. False when nothing was written (the log says
// why: a sector the format cannot hold, or a file-system failure).
bool saveDskImage(const std::string& path, const DiskImage& disk, OperationLog& log);

// What a DSK save of this disk reports as not coming back as it is (the save logs one line per
// kind, above its closing line).
[[nodiscard]] SavePreflight dskSavePreflight(const DiskImage& disk);

// The same load from bytes already in memory (`path` only names the file in the log).
void loadDskBytes(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                  OperationLog& log);

}  // namespace sv
