#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/load_options.h"
#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

// Loads an SCP flux image: every revolution of every track is decoded, and each sector keeps its
// best copy (a good one, or else the one the revolutions agree on most). The disk is cleared
// first.
void loadScpImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& options = {});

// The load after the file is in memory. The log text holds the opening line; the disk must be
// cleared.
void decodeScp(std::span<const std::uint8_t> file, DiskImage& disk, LogEditor& text);

}  // namespace sv
