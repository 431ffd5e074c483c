#pragma once

// The analysis harness's input: sector contents laid onto a Model II disk. Byte 0 chooses the
// geometry (bit 0: two sides); then chunks of 3 + 256 bytes: cylinder, side and quarter
// (bit 0 side, bits 1-2 which 256-byte quarter of the 1024-byte field), slot, and the bytes.
// Every track holds records 1..30, so every system's directory and file sectors can be reached.

#include <cstdint>
#include <span>
#include <vector>

#include "core/disk_image.h"

namespace svfuzz {

inline constexpr int kAnalysisCylinders = 77;
inline constexpr std::size_t kChunkHeader = 3;
inline constexpr std::size_t kChunkData = 256;

// The disk the analysis reads: one of two base disks (one side, two sides) laid once with every
// sector 0xE5, with the input's quarters written on it. The quarters the previous call wrote go
// back to 0xE5 first, so a call costs what its input holds, never the whole disk.
[[nodiscard]] const sv::DiskImage& layAnalysisInput(std::span<const std::uint8_t> input);

// The input that lays the disk's sectors out again (quarters of nothing but 0xE5 or spaces are
// left out).
[[nodiscard]] std::vector<std::uint8_t> analysisInputOf(const sv::DiskImage& disk);

}  // namespace svfuzz
