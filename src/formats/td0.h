#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

// Loads a TD0 file with normal compression; advanced compression is refused. The disk is
// cleared first.
void loadTd0Image(const std::string& path, DiskImage& disk, OperationLog& log);

// The same load from bytes already in memory (`path` only names the file in the log).
void loadTd0Bytes(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                  OperationLog& log);

}  // namespace sv
