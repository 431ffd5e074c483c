#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/operation_log.h"

namespace sv {

// The readers' failure lines differ only in their full stops: DMK and DSK write
// "... does not exist." and "Operation aborted.", IMD and TD0 leave both stops out.
enum class FailureStops { With, Without };

// Reads a whole image file for a reader. On failure the reason and the abort line go into the
// log and nothing is returned.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> readImageFile(const std::string& path,
                                                                     LogText& log,
                                                                     FailureStops stops);

// Report lines that belong above an operation's closing line: each note takes the place of the
// open progress field, and `lastField` opens again below them for the closing text.
void addNotesAboveClosing(LogText& log, const std::vector<std::string>& notes,
                          std::string_view lastField);

// Puts a writer's finished bytes on disk atomically. On failure logs the path
// + " could not be written." and "Operation aborted." and returns false; the old file stays.
[[nodiscard]] bool commitImageFile(const std::string& path, std::span<const std::uint8_t> bytes,
                                   LogText& log);

}  // namespace sv
