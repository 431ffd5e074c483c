#include "analysis/cpm_listing.h"

namespace sv {

// Lists nothing yet: the CP/M directory walk follows.
void listCpmDisk(const Recognition&, SectorReader&, EntryTable&, OperationLog&) {}

}  // namespace sv
