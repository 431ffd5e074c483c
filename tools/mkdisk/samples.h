#pragma once

#include <span>
#include <string_view>

#include "mkdisk/fixture.h"

namespace mkdisk {

struct Sample {
    std::string_view name;
    std::string_view description;
    Disk (*build)();
};

// Every disk the generator can build, by name.
[[nodiscard]] std::span<const Sample> samples();
[[nodiscard]] const Sample* findSample(std::string_view name);

// A Model II disk with the faults a rescued disk shows: CRC errors of both kinds, a deleted
// sector, a duplicate record and an FM sector stored with single bytes.
[[nodiscard]] Disk damagedModel2Disk();

// The TRSDOS sample as a worn disk: data CRC errors inside two files, a bad ID, a deleted
// sector, an ID without its data field, and a record missing from a track.
[[nodiscard]] Disk damagedTrsdosDisk();

}  // namespace mkdisk
