#pragma once

#include <string_view>

#include "core/disk_image.h"
#include "core/operation_log.h"
#include "drives/floppy_driver.h"

namespace sv {

// Reads the whole disk in drive `drive` ("A:" or "B:"; only the first character counts) into
// `disk` through `driver`. The disk is cleared first; a read that cannot start leaves it empty.
void readPhysicalDisk(std::string_view drive, DiskImage& disk, FloppyDriver& driver,
                      OperationLog& log);

}  // namespace sv
