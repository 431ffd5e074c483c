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

}  // namespace mkdisk
