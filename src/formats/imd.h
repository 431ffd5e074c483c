#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

// Loads an IMD file and leaves a one-line side log file next to it (the path with "log" in
// place of its last three characters). The disk is cleared first.
void loadImdImage(const std::string& path, DiskImage& disk, OperationLog& log);

// The same load from bytes already in memory (`path` only names the file in the log).
void loadImdBytes(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                  OperationLog& log);

}  // namespace sv
