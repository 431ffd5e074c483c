#pragma once

// The CP/M family (FMG, Pickles & Trout, Lifeboat, ATON), driven by DiskParameters.

#include "analysis/listings.h"

namespace sv {

void listCpmDisk(const Recognition& recognition, SectorReader& reader, EntryTable& table);

}  // namespace sv
