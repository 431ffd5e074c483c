#include "analysis/entry_table.h"

#include <algorithm>
#include <cctype>

#include "core/operation_log.h"

namespace sv {

int SectorReader::cylinderCount() const {
    return std::min<int>(heldGeometry(disk_).cylinders, kMaxCylinders);
}

int SectorReader::sideCount() const {
    return std::clamp<int>(heldGeometry(disk_).sides, 1, kMaxSides);
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

int EntryTable::record(std::string line, std::vector<std::uint8_t> content,
                       std::optional<std::string> basicListing, std::string fileName) {
    const int row = nextRow_++;
    if (fileName.empty()) {
        fileName = trimmed(line);
    }
    entries_.push_back(AnalysedEntry{.row = row,
                                     .listingLine = std::move(line),
                                     .fileName = std::move(fileName),
                                     .fileContent = std::move(content),
                                     .basicListing = std::move(basicListing)});
    return row;
}

std::vector<std::size_t> sortedListOrder(const std::vector<AnalysedEntry>& entries) {
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    const auto lower = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + 32) : u;
    };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const std::string& x = entries[a].listingLine;
        const std::string& y = entries[b].listingLine;
        const bool less = std::lexicographical_compare(
            x.begin(), x.end(), y.begin(), y.end(),
            [&](char p, char q) { return lower(p) < lower(q); });
        const bool greater = std::lexicographical_compare(
            y.begin(), y.end(), x.begin(), x.end(),
            [&](char p, char q) { return lower(p) < lower(q); });
        if (less != greater) {
            return less;
        }
        return entries[a].row < entries[b].row;
    });
    return order;
}

std::string textOf(std::span<const std::uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string padRight(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
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

std::string hexField(unsigned long value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 15];
        value >>= 4;
    }
    return text;
}

std::string dateText(int day, int month, int year) {
    return zeroPadded(day, 2) + "/" + zeroPadded(month, 2) + "/" + zeroPadded(year, 4);
}

int centuryYear(int year) { return year > 70 ? 1900 + year : 2000 + year; }

}  // namespace sv
