#pragma once

// UCSD Pascal volumes and Xenix tar disks.

#include "analysis/listings.h"

namespace sv {

void listUcsdDisk(const Recognition& recognition, SectorReader& reader, EntryTable& table);
void listXenixDisk(const Recognition& recognition, SectorReader& reader, EntryTable& table);

}  // namespace sv
