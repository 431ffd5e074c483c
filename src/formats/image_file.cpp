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
    case ReadFileError::CannotOpen:
        log.fail(path + " does not exist" + stop, std::string("Operation aborted") + stop);
        break;
    case ReadFileError::TooLarge:
        log.fail(path + " is larger than " + std::to_string(kMaxImageFileBytes / (1024 * 1024)) +
                     " MiB, more than any disk image needs; it was not read.",
                 std::string("Operation aborted") + stop);
        break;
    case ReadFileError::ReadFailed:
        log.fail(path + " could not be read.", std::string("Operation aborted") + stop);
        break;
    }
    return std::nullopt;
}

std::string SkippedSectors::report(std::string_view why) const {
    std::string text = first_;
    if (count_ > 1) {
        text += " and " + std::to_string(count_ - 1) + (count_ == 2 ? " more sector" : " more sectors");
    }
    text += ' ';
    text += why;
    return text + "; not kept.";
}

void abortEmptyLoad(LogEditor& log, DiskImage& disk, std::vector<std::string> notes,
                    const std::string& reason, ReaderWording stops) {
    clear(disk);
    notes.push_back(reason);
    addNotesAboveClosing(log, notes, stops == ReaderWording::WithFullStops ? "Operation aborted." : "Operation aborted");
    log.finish("");
}

void finishTrackRecordLoad(LogEditor& log, DiskImage& disk, const std::string& path, int tracksKept,
                           const std::string& endNote, const SkippedSectors& beyond,
                           std::string_view lastField, std::string_view closing) {
    const int sides = std::max<int>(disk.sideCount, 1);
    disk.trackCount = static_cast<std::uint8_t>(std::min(tracksKept / sides, kMaxCylinders));
    std::vector<std::string> notes;
    if (!endNote.empty()) {
        notes.push_back(endNote);
    }
    if (beyond.any()) {
        notes.push_back(beyond.report("lie beyond cylinder 79 or the 30th sector of a track"));
    }
    if (disk.trackCount == 0) {
        abortEmptyLoad(log, disk, std::move(notes), path + " holds no track that could be read",
                       ReaderWording::WithoutFullStops);
        return;
    }
    if (std::string note = outsideGeometryNote(disk); !note.empty()) {
        notes.push_back(std::move(note));
    }
    addNotesAboveClosing(log, notes, lastField);
    log.finish(closing);
    setSourcePath(disk, path);
}

bool commitImageFile(const std::string& path, std::span<const std::uint8_t> bytes, LogEditor& log) {
    if (writeFileAtomically(path, bytes)) {
        return true;
    }
    log.fail(path + " could not be written.", "Operation aborted.");
    return false;
}

}  // namespace sv
