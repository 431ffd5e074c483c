#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sv {

// No disk image this tool knows needs more; a larger file is refused before it is read.
inline constexpr std::uint64_t kMaxImageFileBytes = 64ull * 1024 * 1024;

enum class ReadFileError { None, CannotOpen, TooLarge, ReadFailed };

struct FileBytes {
    std::vector<std::uint8_t> bytes;
    ReadFileError error = ReadFileError::None;
    [[nodiscard]] bool ok() const { return error == ReadFileError::None; }
};

// Reads a whole file, refusing anything above maxBytes without reading it.
[[nodiscard]] FileBytes readWholeFile(const std::string& path,
                                      std::uint64_t maxBytes = kMaxImageFileBytes);

// Writes the bytes to a temporary file beside the target, flushes it, and renames it over the
// target, so the target holds either exactly the new bytes or its old content. False when any
// step failed (the temporary file is then removed).
[[nodiscard]] bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace sv
