#include "analysis/ucsd_xenix_listings.h"

namespace sv {

// List nothing yet: the UCSD and tar walks follow.
void listUcsdDisk(const Recognition&, SectorReader&, EntryTable&, OperationLog&) {}
void listXenixDisk(const Recognition&, SectorReader&, EntryTable&, OperationLog&) {}

}  // namespace sv
