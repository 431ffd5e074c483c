#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/load_options.h"
#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

// Loads a TD0 file; an advanced-compression file is expanded first (LZW or LZSS-Huffman by its
// version byte) and refused only when its stream cannot be expanded. The disk is
// cleared first.
void loadTd0Image(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& options = {});

// The same load from bytes already in memory (`path` only names the file in the log).
void loadTd0Bytes(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                  OperationLog& log);

}  // namespace sv
