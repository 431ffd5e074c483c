#pragma once

// Realistic disks of the TRSDOS family: a directory in each system's own layout, files with
// extents that cross tracks and sides, dates, password hashes, BASIC programs in both stored
// forms and a DOCUMENT/CTL index.

#include "mkdisk/fixture.h"

namespace mkdisk {

[[nodiscard]] Disk trsdosSampleDisk();
[[nodiscard]] Disk hsdsSampleDisk();
[[nodiscard]] Disk lsdosSampleDisk();
[[nodiscard]] Disk dosplusSampleDisk();
[[nodiscard]] Disk trsdos16SampleDisk();

}  // namespace mkdisk
