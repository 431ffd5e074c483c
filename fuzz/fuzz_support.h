#pragma once

// What every harness shares: one preallocated disk, cleared per input as a load clears it.

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace svfuzz {

inline sv::DiskImage& sharedDisk() {
    static auto disk = sv::makeDiskImage();
    return *disk;
}

// Keeps nothing: a harness has no use for the shown text, and copying it per sector would make
// inputs with many problem lines quadratic.
class NullLog : public sv::OperationLog {
public:
    void show(const std::string&) override {}
    [[nodiscard]] std::string currentText() const override { return {}; }
};

inline std::span<const std::uint8_t> input(const std::uint8_t* data, std::size_t size) {
    return {data, size};
}

}  // namespace svfuzz
