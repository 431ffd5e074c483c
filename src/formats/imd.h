#pragma once

#include <string>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

// Loads an IMD file and leaves a one-line side log file next to it (the path with "log" in
// place of its last three characters). The disk is cleared first.
void loadImdImage(const std::string& path, DiskImage& disk, OperationLog& log);

}  // namespace sv
