#include "formats/image_file.h"

#include <algorithm>

#include "core/file_io.h"

namespace sv {

std::optional<std::vector<std::uint8_t>> readImageFile(const std::string& path, LogEditor& log,
                                                       ReaderWording stops) {
    FileBytes file = readWholeFile(path);
    const char* stop = stops == ReaderWording::WithFullStops ? "." : "";
    switch (file.error) {
        case ReadFileError::None:
            return std::move(file.bytes);
        case ReadFileError::NotFound:
            log.fail(path + " does not exist" + stop, std::string("Operation aborted") + stop);
            break;
        case ReadFileError::CannotOpen:
        case ReadFileError::ReadFailed:
            log.fail(path + " could not be read.", causeLine(file.cause));
            log.line(std::string("Operation aborted") + stop);
            break;
        case ReadFileError::TooLarge:
            log.fail(path + " is larger than " +
                         std::to_string(kMaxImageFileBytes / (1024 * 1024)) +
                         " MiB, more than any disk image needs; it was not read.",
                     std::string("Operation aborted") + stop);
            break;
    }
    return std::nullopt;
}

std::string SkippedSectors::report(std::string_view why) const {
    std::string text = first_;
    if (count_ > 1) {
        text +=
            " and " + std::to_string(count_ - 1) + (count_ == 2 ? " more sector" : " more sectors");
    }
    text += ' ';
    text += why;
    return text + "; not kept.";
}

void abortEmptyLoad(LogEditor& log, DiskImage& disk, std::vector<std::string> notes,
                    const std::string& reason, ReaderWording stops) {
    clear(disk);
    notes.push_back(reason);
    addNotesAboveClosing(
        log, notes,
        stops == ReaderWording::WithFullStops ? "Operation aborted." : "Operation aborted");
    log.finish("");
}

TrackRecordLoader::TrackRecordLoader(LogEditor& log, DiskImage& disk, const std::string& path)
    : log_(log), disk_(disk), path_(path), lastField_(shortSectorField(0, 0, 0)) {
    log_.openField(lastField_, false);
}

void TrackRecordLoader::beginTrack(int cylinder) {
    if (cylinder < kMaxCylinders) {
        ++tracksKept_;
    }
}

SectorEntry* TrackRecordLoader::keepSector(int side, int cylinder, std::uint8_t c, std::uint8_t h,
                                           std::uint8_t r) {
    SectorEntry* entry = appendSector(disk_, side, cylinder);
    if (entry == nullptr) {
        beyond_.add(shortSectorField(c, h, r));
        return nullptr;
    }
    entry->cylinder = c;
    entry->head = h;
    entry->record = r;
    lastField_ = shortSectorField(c, h, r);
    log_.setField(lastField_);
    return entry;
}

void TrackRecordLoader::stop(std::string note) {
    if (endNote_.empty()) {
        endNote_ = std::move(note);
    }
}

void TrackRecordLoader::finish(std::string_view closing) {
    const int sides = std::max<int>(disk_.sideCount, 1);
    // Records fewer than the sides still make a cylinder: the sectors read are never dropped as
    // an empty file.
    const int cylinders = tracksKept_ > 0 ? std::max(tracksKept_ / sides, 1) : 0;
    disk_.trackCount = static_cast<std::uint8_t>(std::min(cylinders, kMaxCylinders));
    std::vector<std::string> notes;
    if (!endNote_.empty()) {
        notes.push_back(endNote_);
    }
    if (beyond_.any()) {
        notes.push_back(beyond_.report("lie beyond cylinder 79 or the 30th sector of a track"));
    }
    if (disk_.trackCount == 0) {
        abortEmptyLoad(log_, disk_, std::move(notes), path_ + " holds no track that could be read",
                       ReaderWording::WithoutFullStops);
        return;
    }
    if (std::string note = outsideGeometryNote(disk_); !note.empty()) {
        notes.push_back(std::move(note));
    }
    addNotesAboveClosing(log_, notes, lastField_);
    log_.finish(closing);
    setSourcePath(disk_, path_);
}

bool commitImageFile(const std::string& path, std::span<const std::uint8_t> bytes, LogEditor& log) {
    const WriteResult written = writeFileAtomically(path, bytes);
    if (written.ok()) {
        return true;
    }
    log.fail(path + " could not be written.", causeLine(written.cause));
    log.line("Operation aborted.");
    return false;
}

bool commitEncodedImage(const std::string& path,
                        const std::optional<std::vector<std::uint8_t>>& file,
                        const std::vector<std::string>& preflightLines, LogEditor& log,
                        std::string_view closing) {
    if (!file) {
        return false;
    }
    addNotesAboveClosing(log, preflightLines, log.field());
    if (!commitImageFile(path, *file, log)) {
        return false;
    }
    log.finish(closing);
    return true;
}

std::optional<WrittenGeometry> writtenGeometry(const DiskImage& disk, LogEditor& log) {
    const HeldGeometry held = heldGeometry(disk);
    const int cylinders = std::min<int>(held.cylinders, kMaxCylinders);
    if (cylinders == 0) {
        log.fail("No disk is loaded: there is nothing to save.", "Operation aborted.");
        return std::nullopt;
    }
    return WrittenGeometry{cylinders, std::clamp<int>(held.sides, 1, kMaxSides)};
}

}  // namespace sv
