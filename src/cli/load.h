#pragma once

#include <string>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv::cli {

// Loads an image with the reader its extension picks. A file of no known type leaves the disk
// empty and says so in the log (the engine's table logs nothing for it). True when a disk is
// loaded.
bool loadImage(const std::string& path, DiskImage& disk, OperationLog& log);

}  // namespace sv::cli
