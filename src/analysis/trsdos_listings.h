#pragma once

// Model II TRSDOS (and HSDS), LS-DOS, Dosplus II and Model II/16 TRSDOS directories.

#include "analysis/listings.h"

namespace sv {

void listTrsdos(const Recognition& recognition, SectorReader& reader, EntryTable& table);
void listLsdos(const Recognition& recognition, SectorReader& reader, EntryTable& table);
void listDosplus(const Recognition& recognition, SectorReader& reader, EntryTable& table);
void listTrsdos16(const Recognition& recognition, SectorReader& reader, EntryTable& table);

}  // namespace sv
