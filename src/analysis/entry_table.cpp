#include "analysis/entry_table.h"

#include <algorithm>
#include <cctype>

#include "core/operation_log.h"

namespace sv {

int SectorReader::cylinderCount() const {
    return std::min<int>(held_.cylinders, kMaxCylinders);
}

int SectorReader::sideCount() const {
    return std::clamp<int>(held_.sides, 1, kMaxSides);
}

bool EntryTable::append(std::vector<std::uint8_t>& content, std::span<const std::uint8_t> bytes) {
    if (bytes.size() > budget_) {
        truncated_ = true;
        budget_ = 0;
        return false;
    }
    budget_ -= bytes.size();
    content.insert(content.end(), bytes.begin(), bytes.end());
    return true;
}

namespace {

std::optional<SectorProblem> problemOf(const DiskImage& disk, int cylinder, int side,
                                       int record) {
    const int slot = findSectorSlot(disk, cylinder, side, record);
    if (slot < 0) {
        return SectorProblem::Missing;
    }
    const DataState state = dataState(disk, side, cylinder, slot);
    if (state == DataState::NoDataField || state == DataState::NotCaptured) {
        return SectorProblem::Missing;
    }
    const std::uint8_t flags = disk.track(side, cylinder).sectors[slot].status;
    if ((flags & status::idCrcError) != 0) {
        return SectorProblem::BadId;
    }
    if ((flags & status::dataCrcError) != 0 || state == DataState::CrcError ||
        state == DataState::CutShort) {
        return SectorProblem::Crc;
    }
    return std::nullopt;
}

void note(GatheredFile& file, SectorAddress at, std::optional<SectorProblem> problem) {
    file.sectors.sectors.push_back(at);
    if (problem) {
        file.sectors.damaged.push_back(DamagedSector{.at = at, .problem = *problem});
    }
}

}  // namespace

const char* sectorProblemName(SectorProblem problem) {
    switch (problem) {
        case SectorProblem::Crc: return "CRC";
        case SectorProblem::BadId: return "BadID";
        case SectorProblem::Missing: return "missing";
    }
    return "CRC";
}

bool EntryTable::gather(GatheredFile& file, SectorReader& reader, int cylinder, int side,
                        int record, std::size_t bytes) {
    const SectorData& data = reader.read(cylinder, side, record);
    if (!append(file.content, std::span(data).first(std::min<std::size_t>(bytes, data.size())))) {
        return false;
    }
    note(file, {cylinder, side, record}, problemOf(reader.disk(), cylinder, side, record));
    return true;
}

void EntryTable::beyondDisk(GatheredFile& file, int cylinder, int side, int record) {
    note(file, {cylinder, side, record}, SectorProblem::Missing);
}

int EntryTable::record(std::string line, GatheredFile file, FileFacts facts,
                       std::optional<std::string> basicListing, std::string fileName) {
    const std::size_t gathered = file.content.size();
    std::size_t size = gathered;
    std::string why = std::move(facts.note);
    if (why.empty() && facts.statedSize) {
        if (*facts.statedSize <= gathered) {
            size = *facts.statedSize;
        } else {
            why = "the directory states " + std::to_string(*facts.statedSize) +
                  " bytes, beyond the " + std::to_string(gathered) + " gathered";
        }
    }
    const int row = record(std::move(line), std::move(file.content), std::move(basicListing),
                           std::move(fileName));
    AnalysedEntry& entry = entries_.back();
    entry.name = std::move(facts.name);
    entry.isDirectory = facts.isDirectory;
    entry.size = size;
    entry.date = std::move(facts.date);
    entry.note = std::move(why);
    entry.sectors = std::move(file.sectors);
    return row;
}

int EntryTable::record(std::string line, std::vector<std::uint8_t> content,
                       std::optional<std::string> basicListing, std::string fileName) {
    const int row = nextRow_++;
    if (fileName.empty()) {
        fileName = trimmed(line);
    }
    AnalysedEntry& entry = entries_.emplace_back();
    entry.row = row;
    entry.listingLine = std::move(line);
    entry.fileName = std::move(fileName);
    entry.fileContent = std::move(content);
    entry.basicListing = std::move(basicListing);
    entry.size = entry.fileContent.size();
    return row;
}

std::vector<std::size_t> sortedListOrder(const std::vector<AnalysedEntry>& entries) {
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    // Each line lowered once; the sort then compares the keys as bytes, without case.
    std::vector<std::string> keys;
    keys.reserve(entries.size());
    for (const AnalysedEntry& entry : entries) {
        std::string key = entry.listingLine;
        for (char& c : key) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c + 32);
            }
        }
        keys.push_back(std::move(key));
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int byKey = keys[a].compare(keys[b]);
        return byKey != 0 ? byKey < 0 : entries[a].row < entries[b].row;
    });
    return order;
}

std::string nameField(std::span<const std::uint8_t> name, std::span<const std::uint8_t> extension,
                      char separator, std::size_t width) {
    std::string field = trimmed(textOf(name));
    const std::string ext = textOf(extension);
    if (ext.find_first_not_of(' ') == std::string::npos) {
        field += ' ';
    } else {
        field += separator;
        // Spaces are removed wherever they are, not only at the ends.
        for (const char c : ext) {
            if (c != ' ') {
                field += c;
            }
        }
    }
    return padRight(std::move(field), width);
}

std::string dateText(int day, int month, int year) {
    return zeroPadded(day, 2) + "/" + zeroPadded(month, 2) + "/" + zeroPadded(year, 4);
}

std::string isoDate(int year, int month, int day) {
    if (month < 1 || month > 12 || day < 1 || day > 31 || year < 0 || year > 9999) {
        return {};
    }
    return zeroPadded(year, 4) + "-" + zeroPadded(month, 2) + "-" + zeroPadded(day, 2);
}

int centuryYear(int year) { return year > 70 ? 1900 + year : 2000 + year; }

}  // namespace sv
