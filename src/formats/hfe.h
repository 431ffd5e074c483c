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

// Loads an HFE bitstream image (version 1; version 3 where its stream opcodes are the simple
// ones). The disk is cleared first.
void loadHfeImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& options = {});

// The load after the file is in memory. The log text holds the opening line; the disk must be
// cleared.
void decodeHfe(std::span<const std::uint8_t> file, DiskImage& disk, LogEditor& text);

// Writes the disk as an HFE version 1 file at exactly `path`, every track synthesised as the DMK
// writer lays it out. False when nothing was written (the log says why).
bool saveHfeImage(const std::string& path, const DiskImage& disk, OperationLog& log);

// What an HFE save of this disk reports as not coming back as it is: its tracks are the DMK
// writer's, so its losses are too.
[[nodiscard]] SavePreflight hfeSavePreflight(const DiskImage& disk);

[[nodiscard]] std::optional<std::vector<std::uint8_t>> encodeHfe(const DiskImage& disk,
                                                                 LogEditor& text);

}  // namespace sv
