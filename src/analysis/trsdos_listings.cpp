#include "analysis/trsdos_listings.h"

namespace sv {

void listTrsdos(const Recognition&, SectorReader&, EntryTable&, OperationLog&) {}
void listLsdos(const Recognition&, SectorReader&, EntryTable&, OperationLog&) {}
void listDosplus(const Recognition&, SectorReader&, EntryTable&, OperationLog&) {}
void listTrsdos16(const Recognition&, SectorReader&, EntryTable&, OperationLog&) {}

}  // namespace sv
