#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

// The readers' failure lines differ only in their full stops: DMK and DSK write
// "... does not exist." and "Operation aborted.", IMD and TD0 leave both stops out.
enum class ReaderWording { WithFullStops, WithoutFullStops };

// Reads a whole image file for a reader. On failure the reason and the abort line go into the
// log and nothing is returned.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> readImageFile(const std::string& path,
                                                                     LogEditor& log,
                                                                     ReaderWording stops);

// Sectors a reader had to leave out (beyond the store's capacity), reported in one line that
// names the first and counts the rest.
class SkippedSectors {
public:
    void add(std::string field) {
        if (count_++ == 0) {
            first_ = std::move(field);
        }
    }
    [[nodiscard]] bool any() const { return count_ > 0; }
    // first + " and N more sectors " + why + "; not kept."
    [[nodiscard]] std::string report(std::string_view why) const;

private:
    std::string first_;
    int count_ = 0;
};

// A load that found nothing to keep: the disk is emptied, the notes and the reason go above the
// abort line, and the log ends there.
void abortEmptyLoad(LogEditor& log, DiskImage& disk, std::vector<std::string> notes,
                    const std::string& reason, ReaderWording stops);

// Ends the load of a reader that reads track records (IMD, TD0): the track count from the records
// kept, then what ended or was left out above the closing line, or the abort when nothing could
// be kept. IMD and TD0 write their failure lines without full stops.
void finishTrackRecordLoad(LogEditor& log, DiskImage& disk, const std::string& path, int tracksKept,
                           const std::string& endNote, const SkippedSectors& beyond,
                           std::string_view lastField, std::string_view closing);

// Puts a writer's finished bytes on disk atomically. On failure logs the path
// + " could not be written." and "Operation aborted." and returns false; the old file stays.
[[nodiscard]] bool commitImageFile(const std::string& path, std::span<const std::uint8_t> bytes,
                                   LogEditor& log);

}  // namespace sv
