#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

// The readers' failure lines differ only in their full stops: DMK and DSK write
// "... does not exist." and "Operation aborted.", IMD and TD0 leave both stops out.
enum class ReaderWording { WithFullStops, WithoutFullStops };

// Reads a whole image file for a reader. On failure the reason (with the cause line when the file
// exists but could not be read) and the abort line go into the log and nothing is returned.
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

// The loader the track-record readers (IMD, TD0) feed, record by record: it keeps the sectors in
// the store and the progress field, and owns the notes on what the store could not hold and on
// where the records stopped early.
class TrackRecordLoader {
public:
    // Opens the progress field below what `log` holds.
    TrackRecordLoader(LogEditor& log, DiskImage& disk, const std::string& path);

    // A track record of `cylinder` begins; it counts towards the track count when the store has
    // the cylinder.
    void beginTrack(int cylinder);
    // The slot for sector (c, h, r) of the track at (side, cylinder), with its id set and shown as
    // the progress field; nullptr, noted, when the store cannot hold it.
    [[nodiscard]] SectorEntry* keepSector(int side, int cylinder, std::uint8_t c, std::uint8_t h,
                                          std::uint8_t r);
    // Where the records stopped early, and why; the first reason stands.
    void stop(std::string note);
    [[nodiscard]] bool stopped() const { return !endNote_.empty(); }

    // The track count from the records kept, then the notes above the closing line; or the
    // abort when nothing could be kept (without full stops, as IMD and TD0 write them).
    void finish(std::string_view closing);

private:
    LogEditor& log_;
    DiskImage& disk_;
    const std::string& path_;
    std::string lastField_;
    std::string endNote_;
    SkippedSectors beyond_;
    int tracksKept_ = 0;
};

// Puts a writer's finished bytes on disk atomically. On failure logs the path
// + " could not be written.", the cause line and "Operation aborted." and returns false; the old
// file stays.
[[nodiscard]] bool commitImageFile(const std::string& path, std::span<const std::uint8_t> bytes,
                                   LogEditor& log);

// The cylinders and sides a track-image writer lays out: the geometry held, within the store;
// nothing, after the refusal line, when no disk is loaded.
struct WrittenGeometry {
    int cylinders;
    int sides;
};
[[nodiscard]] std::optional<WrittenGeometry> writtenGeometry(const DiskImage& disk, LogEditor& log);

// The end of a save whose encoder may refuse (it has then logged why): the preflight's lines
// above the closing, the file committed, then `closing`.
[[nodiscard]] bool commitEncodedImage(const std::string& path,
                                      const std::optional<std::vector<std::uint8_t>>& file,
                                      const std::vector<std::string>& preflightLines,
                                      LogEditor& log, std::string_view closing);

}  // namespace sv
