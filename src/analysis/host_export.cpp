#include "analysis/host_export.h"

#include <array>
#include <cstring>

#include "core/operation_log.h"
#include "core/text.h"

namespace sv {

namespace {

constexpr std::size_t kMaxHostNameChars = 64;
constexpr std::uint8_t kEndOfFile = 0x1A;
constexpr std::uint8_t kUcsdIndent = 0x10;  // DLE, then 32 + the number of blanks
constexpr std::size_t kUcsdHeaderPageBytes = 1024;

// Types whose files are text whatever their bytes look like. BAS is not among them: CP/M's
// tokenised BASIC is binary, and TRSDOS programs have their listing.
constexpr std::array<std::string_view, 16> kTextTypes{
    "TXT", "TEXT", "ASM", "MAC", "DOC", "LST", "PRN", "SUB",
    "JCL", "HLP",  "PAS", "FOR", "DEF", "C",   "H",   "ME"};

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string lowered(std::string text) {
    for (char& c : text) {
        c = lowerAscii(c);
    }
    return text;
}

std::string upperType(const std::string& name) {
    const auto slash = name.rfind('/');
    const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    const auto dot = last.rfind('.');
    std::string type = dot == std::string::npos ? std::string{} : last.substr(dot + 1);
    for (char& c : type) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        }
    }
    return type;
}

bool isCpmFamily(std::uint8_t osCode) {
    return osCode == os::fmgCpm || osCode == os::picklesTroutCpm || osCode == os::lifeboatCpm ||
           osCode == os::atonCpm;
}

// CR LF and a lone CR become LF.
std::vector<std::uint8_t> withLineFeeds(std::span<const std::uint8_t> bytes) {
    const std::string text = unixLines(textOf(bytes), LoneCarriageReturn::EndsLine);
    return {text.begin(), text.end()};
}

// A UCSD TEXT file: a 1024-byte page for the editor, then pages of lines ending in CR, each page
// padded with NULs; DLE and a count byte stand for the line's leading blanks.
std::vector<std::uint8_t> ucsdText(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> out;
    const std::span<const std::uint8_t> text =
        bytes.size() > kUcsdHeaderPageBytes ? bytes.subspan(kUcsdHeaderPageBytes)
                                            : std::span<const std::uint8_t>{};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == 0) {
            continue;
        }
        if (text[i] == kUcsdIndent && i + 1 < text.size()) {
            const std::uint8_t count = text[++i];
            out.insert(out.end(), count > 32 ? count - 32u : 0u, ' ');
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace

namespace {

constexpr std::array<std::uint8_t, 256> textByteTable() {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t b = 0; b < table.size(); ++b) {
        table[b] = isTextByte(static_cast<std::uint8_t>(b)) ? 1 : 0;
    }
    return table;
}

}  // namespace

std::span<const std::uint8_t> textBeforeEnd(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return bytes;
    }
    const void* const endOfFile = std::memchr(bytes.data(), kEndOfFile, bytes.size());
    std::size_t end = endOfFile == nullptr
                          ? bytes.size()
                          : static_cast<std::size_t>(static_cast<const std::uint8_t*>(endOfFile) - bytes.data());
    while (end > 0 && bytes[end - 1] == 0) {
        --end;
    }
    return bytes.first(end);
}

std::string nameComponent(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '/') {
            c = '.';
        } else if (c == '\\') {
            c = '_';
        }
    }
    return out;
}

std::string hostSafeName(std::string_view component) {
    std::string name;
    bool inRun = false;
    for (const char c : component) {
        const auto b = static_cast<unsigned char>(c);
        const bool kept = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                          (b >= '0' && b <= '9') || b == '.' || b == '-' || b == '_';
        if (kept || b == '/') {
            name += b == '/' ? '.' : c;
            inRun = false;
        } else if (!inRun) {
            name += '_';
            inRun = true;
        }
    }
    while (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    while (!name.empty() && name.front() == '_') {
        name.erase(0, 1);
    }
    if (!name.empty() && name.front() == '.') {
        name.front() = '_';
    }
    if (name.size() > kMaxHostNameChars) {
        name.resize(kMaxHostNameChars);
    }
    return name.empty() ? "_" : name;
}

bool mostlyPrintable(std::span<const std::uint8_t> bytes) {
    const std::span<const std::uint8_t> text = textBeforeEnd(bytes);
    if (text.empty()) {
        return false;
    }
    // Summed from a table, without a branch per byte: every file of a disk passes through here.
    static constexpr std::array<std::uint8_t, 256> kTextByte = textByteTable();
    std::size_t good = 0;
    for (const std::uint8_t byte : text) {
        good += kTextByte[byte];
    }
    return good * 10 >= text.size() * 9;
}

bool isTextFile(const AnalysedEntry& entry) {
    if (entry.isDirectory) {
        return false;
    }
    if (entry.basicListing) {
        return true;
    }
    const std::string type = upperType(entry.name);
    for (const std::string_view t : kTextTypes) {
        if (type == t) {
            return true;
        }
    }
    return mostlyPrintable(entry.exactContent());
}

std::vector<std::uint8_t> hostText(const AnalysedEntry& entry, std::uint8_t osCode) {
    if (entry.basicListing) {
        const auto* listing = reinterpret_cast<const std::uint8_t*>(entry.basicListing->data());
        return withLineFeeds({listing, entry.basicListing->size()});
    }
    std::span<const std::uint8_t> bytes = entry.exactContent();
    if (osCode == os::ucsdPascal && upperType(entry.name) == "TEXT") {
        return withLineFeeds(ucsdText(bytes));
    }
    if (isCpmFamily(osCode)) {
        std::size_t end = 0;
        while (end < bytes.size() && bytes[end] != kEndOfFile) {
            ++end;
        }
        bytes = bytes.first(end);
    }
    return withLineFeeds(bytes);
}

std::string damageSummary(const FileSectors& sectors) {
    const std::size_t count = sectors.damaged.size();
    std::string text =
        std::to_string(count) + (count == 1 ? " damaged sector: " : " damaged sectors: ");
    for (std::size_t i = 0; i < count; ++i) {
        const DamagedSector& d = sectors.damaged[i];
        text += (i == 0 ? "T" : ", T") + zeroPadded(d.at.cylinder, 3) + " H" +
                std::to_string(d.at.head) + " S" + zeroPadded(d.at.record, 2) + " " +
                sectorProblemName(d.problem);
    }
    return text;
}

namespace {

// Shell wildcard match without letter case; '[' without its ']' is an ordinary character.
bool globMatch(std::string_view pattern, std::string_view text) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starT = 0;
    while (t < text.size()) {
        bool advanced = false;
        if (p < pattern.size()) {
            const char c = pattern[p];
            if (c == '*') {
                starP = p++;
                starT = t;
                continue;
            }
            if (c == '[') {
                const std::size_t close = pattern.find(']', p + 2);
                if (close != std::string_view::npos) {
                    std::size_t k = p + 1;
                    const bool negate = pattern[k] == '!' || pattern[k] == '^';
                    k += negate ? 1 : 0;
                    bool inSet = false;
                    const char x = lowerAscii(text[t]);
                    for (; k < close; ++k) {
                        if (k + 2 < close && pattern[k + 1] == '-') {
                            inSet = inSet || (x >= lowerAscii(pattern[k]) &&
                                              x <= lowerAscii(pattern[k + 2]));
                            k += 2;
                        } else {
                            inSet = inSet || x == lowerAscii(pattern[k]);
                        }
                    }
                    if (inSet != negate) {
                        p = close + 1;
                        ++t;
                        advanced = true;
                    }
                } else if (lowerAscii(text[t]) == '[') {
                    ++p;
                    ++t;
                    advanced = true;
                }
            } else if (c == '?' || lowerAscii(c) == lowerAscii(text[t])) {
                ++p;
                ++t;
                advanced = true;
            }
        }
        if (!advanced) {
            if (starP == std::string_view::npos) {
                return false;
            }
            p = starP + 1;
            t = ++starT;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

bool namePicks(std::string_view pattern, const AnalysedEntry& entry) {
    return globMatch(pattern, entry.fileName) || globMatch(pattern, entry.name);
}

bool HostNames::taken(const std::string& path) const {
    const std::string key = lowered(path);
    return files_.contains(key) || folders_.contains(key);
}

std::string HostNames::unique(const std::string& parent, const std::string& component) {
    const std::string prefix = parent.empty() ? "" : parent + "/";
    std::string name = component;
    for (int n = 2; taken(prefix + name); ++n) {
        const auto dot = component.find('.', 1);
        const std::string suffix = "~" + std::to_string(n);
        name = dot == std::string::npos ? component + suffix
                                        : component.substr(0, dot) + suffix + component.substr(dot);
    }
    return prefix + name;
}

std::string HostNames::folder(const std::string& parent, const std::string& component) {
    const std::string wanted = lowered((parent.empty() ? "" : parent + "/") + component);
    if (const auto found = folders_.find(wanted); found != folders_.end()) {
        return found->second;
    }
    const std::string chosen = unique(parent, component);
    folders_[wanted] = chosen;
    folders_[lowered(chosen)] = chosen;
    return chosen;
}

std::string HostNames::take(const std::string& name, bool isDirectory) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) {
            end = name.size();
        }
        if (end > start) {
            parts.push_back(hostSafeName(name.substr(start, end - start)));
        }
        start = end + 1;
    }
    if (parts.empty()) {
        parts.push_back(hostSafeName(""));
    }
    std::string parent;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        parent = folder(parent, parts[i]);
    }
    if (isDirectory) {
        return folder(parent, parts.back());
    }
    const std::string path = unique(parent, parts.back());
    files_.insert(lowered(path));
    return path;
}

std::string HostNames::takeBeside(const std::string& path, const std::string& suffix) {
    const auto slash = path.rfind('/');
    const std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string chosen = unique(parent, last + suffix);
    files_.insert(lowered(chosen));
    return chosen;
}

}  // namespace sv
