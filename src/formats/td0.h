#pragma once

#include <string>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

// Loads a TD0 file with normal compression; advanced compression is refused. The disk is
// cleared first.
void loadTd0Image(const std::string& path, DiskImage& disk, OperationLog& log);

}  // namespace sv
