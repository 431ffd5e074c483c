#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

// Loads a DMK file. The disk is cleared first; the outcome is the disk and the log.
void loadDmkImage(const std::string& path, DiskImage& disk, OperationLog& log);

// Writes the disk as a DMK file at exactly `path`. False when nothing was written (the log
// says why).
bool saveDmkImage(const std::string& path, const DiskImage& disk, OperationLog& log);

}  // namespace sv
