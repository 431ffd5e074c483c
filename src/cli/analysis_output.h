#pragma once

// What `dir` and `extract` share: running the analysis on a loaded image, and turning the
// analysis' disk texts (one char per disk byte) into host text and host file names.

#include <optional>
#include <string>

#include "analysis/analysis.h"
#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv::cli {

struct AnalysedImage {
    DiskAnalysis analysis;
    std::string addedLog;  // what the analysis added to the log, "" when nothing
};

// Loads and analyses IMAGE; nullopt when nothing loaded, after printing the load's log.
[[nodiscard]] std::optional<AnalysedImage> analyseImage(const std::string& path, DiskImage& disk,
                                          const std::string& geometry = {});

// Disk bytes read as Latin-1, written as UTF-8 (exact: JSON).
[[nodiscard]] std::string latin1ToUtf8(const std::string& text);
// For a terminal: CR LF becomes "\n", other control characters ".", then UTF-8.
[[nodiscard]] std::string terminalText(const std::string& text);

// A file name that is safe on the host: letters, digits, '.', '-' and '_' kept, '/' (the
// TRSDOS-family separator) becomes '.', every run of other characters one '_'; no leading '.';
// at most 64 characters; never empty.
[[nodiscard]] std::string hostSafeName(const std::string& listedName);

}  // namespace sv::cli
