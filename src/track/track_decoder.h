#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/disk_image.h"
#include "track/cells.h"

namespace sv {

// One sector as found in a run of cells.
struct FoundSector {
    std::uint8_t cylinder = 0;
    std::uint8_t head = 0;
    std::uint8_t record = 0;
    std::uint8_t sizeCode = 0;
    bool fm = false;
    bool idCrcGood = false;
    bool dataFound = false;  // a data mark followed the ID
    bool dataCrcGood = false;
    bool dataCutShort = false;  // the cells ended inside the data field
    std::uint8_t mark = 0;      // the data address mark, 0xF8..0xFB
    std::vector<std::uint8_t> data;  // the first 1024 bytes of the field at most
    std::size_t position = 0;        // cell index of the ID mark's last cell
};

// Every sector whose ID mark is in the cells, in the order found. A data mark belongs to the ID
// before it when it follows within the length of a gap and a sync and before another ID.
[[nodiscard]] std::vector<FoundSector> decodeCells(std::span<const std::uint8_t> cells);

// Fills a store slot as every reader of tracks does: ID, density, status bits and the data (a
// missing data field is spaces with status 0x43, as the DMK reader keeps it). Returns the slot's
// data state.
DataState fillSlot(const FoundSector& found, SectorEntry& entry);

// The markers a track reader ends a sector's progress lines with, in order (" BadID", " CRC",
// the size code note); none for a clean sector. The same texts the DMK reader writes.
[[nodiscard]] std::vector<std::string> sectorMarkers(const FoundSector& found);

}  // namespace sv
