#pragma once

// What every listing shares: the one sector buffer, the growing entry table, and the texts of a
// listing line (name field, hexadecimal, dates).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis.h"
#include "core/disk_image.h"
#include "core/text.h"

namespace sv {

// All sector reads of one analysis go through one buffer. A sector the disk does not hold is
// gathered as 0xE5 fill, never as the previous read's bytes; lastState() says what the bytes of
// the last read are.
class SectorReader {
public:
    // The disk must not change while the reader reads it: its held geometry is taken once.
    explicit SectorReader(const DiskImage& disk) : disk_(disk), held_(heldGeometry(disk)) { buffer_.fill(0); }

    const SectorData& read(int cylinder, int side, int record) {
        lastState_ = gatherSector(cylinder, side, record, disk_, buffer_);
        return buffer_;
    }
    [[nodiscard]] DataState lastState() const { return lastState_; }
    [[nodiscard]] const SectorData& buffer() const { return buffer_; }
    [[nodiscard]] const DiskImage& disk() const { return disk_; }

    // Cylinders a walk may visit: the geometry held, never beyond the store.
    [[nodiscard]] int cylinderCount() const;
    [[nodiscard]] int sideCount() const;

private:
    const DiskImage& disk_;
    HeldGeometry held_;
    SectorData buffer_;
    DataState lastState_ = DataState::Good;
};

// A file as a listing gathers it: its bytes and where each sector of them came from.
struct GatheredFile {
    std::vector<std::uint8_t> content;
    FileSectors sectors;
};

// What a listing knows of a file beside its bytes.
struct FileFacts {
    std::string name;  // see AnalysedEntry::name
    std::optional<std::size_t> statedSize;  // nullopt: the gathered length is the length
    std::string note;  // a directory field the listing found inconsistent
    std::string date;  // ISO 8601
    bool isDirectory = false;
};

// The ISO 8601 date, or "" when the day or month cannot be a date.
[[nodiscard]] std::string isoDate(int year, int month, int day);

// The entry table grows with the directory: no listed file is dropped. Its gathered bytes share
// one budget per analysis, so a hostile directory whose extents overlap cannot exhaust memory.
class EntryTable {
public:
    static constexpr std::size_t kContentBudgetBytes = std::size_t{64} << 20;

    // The next row to record (Model II/16 TRSDOS starts its rows at 1).
    void skipRow() { ++nextRow_; }

    // Appends bytes to a file being gathered, within the budget. False once the budget is spent.
    bool append(std::vector<std::uint8_t>& content, std::span<const std::uint8_t> bytes);

    // Reads a sector and appends its first `bytes` bytes to the file, noting the sector and its
    // damage. False once the budget is spent (nothing is appended then).
    bool gather(GatheredFile& file, SectorReader& reader, int cylinder, int side, int record,
                std::size_t bytes);
    // A sector the file needs that lies beyond the disk held: damage, no bytes.
    static void beyondDisk(GatheredFile& file, int cylinder, int side, int record);

    // Records a file with its facts: the exact length is the stated one when the gathered bytes
    // hold it, else the gathered length with a note saying so.
    int record(std::string line, GatheredFile file, FileFacts facts,
               std::optional<std::string> basicListing = std::nullopt, std::string fileName = {});

    // `fileName` is the name part of the line, trimmed; when empty, the whole line trimmed.
    int record(std::string line, std::vector<std::uint8_t> content,
               std::optional<std::string> basicListing = std::nullopt, std::string fileName = {});

    [[nodiscard]] const std::vector<AnalysedEntry>& entries() const { return entries_; }
    [[nodiscard]] std::vector<AnalysedEntry> takeEntries() { return std::move(entries_); }
    [[nodiscard]] bool truncated() const { return truncated_; }

    // Lines for the analysis' report (DiskAnalysis::reportLines), in the order they come.
    void report(std::vector<std::string> lines) {
        reportLines_.insert(reportLines_.end(), std::make_move_iterator(lines.begin()),
                            std::make_move_iterator(lines.end()));
    }
    [[nodiscard]] std::vector<std::string> takeReportLines() { return std::move(reportLines_); }

private:
    std::vector<AnalysedEntry> entries_;
    std::vector<std::string> reportLines_;
    int nextRow_ = 0;
    std::size_t budget_ = kContentBudgetBytes;
    bool truncated_ = false;
};

// The name part of a listing line: the name trimmed, then one space for a blank extension or the
// separator and the extension trimmed; padded on the right to `width` (never cut).
[[nodiscard]] std::string nameField(std::span<const std::uint8_t> name,
                                    std::span<const std::uint8_t> extension, char separator,
                                    std::size_t width);

// DD/MM/YYYY with leading zeros.
[[nodiscard]] std::string dateText(int day, int month, int year);
// A two-digit year within the century: 1900 + year above 70, else 2000 + year.
[[nodiscard]] int centuryYear(int year);

}  // namespace sv
