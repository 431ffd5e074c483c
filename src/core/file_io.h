#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sv {

// No disk image this tool knows needs more; a larger file is refused before it is read.
inline constexpr std::uint64_t kMaxImageFileBytes = 64ull * 1024 * 1024;

enum class ReadFileError { None, NotFound, CannotOpen, TooLarge, ReadFailed };

struct FileBytes {
    std::vector<std::uint8_t> bytes;
    ReadFileError error = ReadFileError::None;
    // Why the read failed: the system's text for its error ("Permission denied", "Is a
    // directory") or this program's own reason; empty when the file was read.
    std::string cause;
    [[nodiscard]] bool ok() const { return error == ReadFileError::None; }
};

// Reads a whole file, refusing anything above maxBytes without reading it.
[[nodiscard]] FileBytes readWholeFile(const std::string& path,
                                      std::uint64_t maxBytes = kMaxImageFileBytes);

struct WriteResult {
    int error = 0;      // errno of the step that failed; 0 when written, or refused by a rule here
    std::string cause;  // why it was not written ("No space left on device"); empty when written
    [[nodiscard]] bool ok() const { return cause.empty(); }
};

// Writes the bytes to a temporary file beside the target, flushes it, and renames it over the
// target, so the target holds either exactly the new bytes or its old content. When any step
// failed the temporary file is removed and the result says why.
[[nodiscard]] WriteResult writeFileAtomically(const std::string& path,
                                              std::span<const std::uint8_t> bytes);

// The log line that follows a failure's own text: "Cause: " + cause + ".".
[[nodiscard]] std::string causeLine(std::string_view cause);

}  // namespace sv
