#pragma once

// Files off the disk as the host wants them: names that stay inside the target folder, and text
// files in the host's form. The listings name each file; this decides how it lands on the host.

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis.h"

namespace sv {

// One component of a file's name: a '/' inside it becomes '.' (as the host-safe rules always
// made it) and '\' becomes '_', so it cannot split a path.
[[nodiscard]] std::string nameComponent(std::string_view text);

// A name component that is safe on the host: letters, digits, '.', '-' and '_' kept, '/' becomes
// '.', every run of other characters one '_' ('_' dropped at both ends); no leading '.'; at most
// 64 characters; never empty.
[[nodiscard]] std::string hostSafeName(std::string_view component);

// Printable ASCII, CR, LF or TAB.
[[nodiscard]] constexpr bool isTextByte(std::uint8_t byte) {
    return (byte >= 0x20 && byte < 0x7F) || byte == '\r' || byte == '\n' || byte == '\t';
}

// The bytes before an end-of-file byte (0x1A), without the zeros that fill a last sector.
[[nodiscard]] std::span<const std::uint8_t> textBeforeEnd(std::span<const std::uint8_t> bytes);

// At least nine bytes in ten are printable ASCII or CR, LF, TAB, before an end-of-file byte
// (0x1A) or trailing zeros. Empty content is not text.
[[nodiscard]] bool mostlyPrintable(std::span<const std::uint8_t> bytes);

// Whether `extract --text` converts the file: a BASIC program with its listing, a file of a text
// type (TXT, ASM, DOC, LST, TEXT, ...), or one whose exact bytes are mostly printable.
[[nodiscard]] bool isTextFile(const AnalysedEntry& entry);

// The file in the host's form: the BASIC listing, or the exact bytes with CP/M's 0x1A end mark
// honoured, a UCSD TEXT file's editor page dropped and its indentation codes expanded, and CR LF
// or a lone CR as LF. `osCode` is the system that wrote the disk.
[[nodiscard]] std::vector<std::uint8_t> hostText(const AnalysedEntry& entry, std::uint8_t osCode);

// "2 damaged sectors: T012 H1 S07 CRC, T013 H0 S02 missing" ("1 damaged sector: ...").
[[nodiscard]] std::string damageSummary(const FileSectors& sectors);

// Whether a NAME given to extract picks the entry: the name as the listing shows it or as it is
// extracted, with shell wildcards (*, ?, [...]), in any letter case.
[[nodiscard]] bool namePicks(std::string_view pattern, const AnalysedEntry& entry);

// Chooses each extracted file's path below the target folder: every component host-safe, names
// compared without letter case, a clash with a file or folder taken before gets ~2, ~3, ...
// before its first '.'.
class HostNames {
public:
    // The relative path, components separated by '/', for a file (or folder) named `name`.
    std::string take(const std::string& name, bool isDirectory);
    // Also keeps `path` (a relative path given by take) plus `suffix` free of later files.
    std::string takeBeside(const std::string& path, const std::string& suffix);

private:
    [[nodiscard]] bool taken(const std::string& path) const;
    std::string unique(const std::string& parent, const std::string& component);
    std::string folder(const std::string& parent, const std::string& component);

    std::set<std::string> files_;                // lower-case paths
    std::map<std::string, std::string> folders_;  // lower-case wanted path -> path chosen
};

}  // namespace sv
