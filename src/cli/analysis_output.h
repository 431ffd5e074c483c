#pragma once

// What `dir` and `extract` share: running the analysis on a loaded image, and turning the
// analysis' disk texts (one char per disk byte) into host text and host file names.

#include <optional>
#include <string>

#include "analysis/analysis.h"
#include "core/disk_image.h"
#include "core/operation_log.h"
#include "core/text.h"
#include "cli/load.h"

namespace sv::cli {

struct AnalysedImage {
    DiskAnalysis analysis;
    std::string addedLog;  // what the analysis added to the log, "" when nothing
};

// Loads and analyses IMAGE; nullopt when nothing loaded, after reporting the failure (the
// load's log on stderr, or with `json` the error object on stdout).
[[nodiscard]] std::optional<AnalysedImage> analyseImage(const std::string& path, DiskImage& disk,
                                                        const LoadFlags& flags, bool json);

// For a terminal: CR LF becomes "\n", other control characters ".", then UTF-8.
[[nodiscard]] std::string terminalText(const std::string& text);


}  // namespace sv::cli
