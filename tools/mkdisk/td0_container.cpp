#include <algorithm>

#include "mkdisk/fixture.h"

namespace mkdisk {

namespace {

void putLe16(std::vector<std::uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// Encoding 1: (count, two-byte pattern) pairs, one per run of equal pairs.
std::vector<std::uint8_t> encodePattern(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    while (i + 1 < data.size()) {
        std::size_t count = 1;
        while (i + 2 * count + 1 < data.size() && count < 0xFFFF &&
               data[i + 2 * count] == data[i] && data[i + 2 * count + 1] == data[i + 1]) {
            ++count;
        }
        putLe16(out, count);
        out.push_back(data[i]);
        out.push_back(data[i + 1]);
        i += 2 * count;
    }
    return out;
}

// Encoding 2: literal runs (0, length, bytes) and repeated two-byte patterns (1, count, pattern).
std::vector<std::uint8_t> encodeRle(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out;
    const auto repeats = [&](std::size_t at) {
        std::size_t count = 1;
        while (at + 2 * count + 1 < data.size() && count < 255 && data[at + 2 * count] == data[at] &&
               data[at + 2 * count + 1] == data[at + 1]) {
            ++count;
        }
        return count;
    };
    std::size_t i = 0;
    while (i < data.size()) {
        if (i + 1 < data.size() && repeats(i) >= 3) {
            const std::size_t count = repeats(i);
            out.push_back(1);
            out.push_back(static_cast<std::uint8_t>(count));
            out.push_back(data[i]);
            out.push_back(data[i + 1]);
            i += 2 * count;
            continue;
        }
        std::size_t end = i + 1;
        while (end < data.size() && end - i < 255 && !(end + 1 < data.size() && repeats(end) >= 3)) {
            ++end;
        }
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(end - i));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                   data.begin() + static_cast<std::ptrdiff_t>(end));
        i = end;
    }
    return out;
}

// Teledisk 1.x advanced compression at its simplest: every byte its own code, so the stream
// is valid LZW without any dictionary search; blocks of at most 4096 codes, two codes in three
// bytes, each block preceded by its code count times three.
std::vector<std::uint8_t> literalLzw(const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> out(file.begin(), file.begin() + 12);
    out[0] = 't';
    out[1] = 'd';
    out[4] = 11;
    for (std::size_t start = 12; start < file.size(); start += 4096) {
        const std::size_t codes = std::min<std::size_t>(4096, file.size() - start);
        putLe16(out, codes * 3);
        for (std::size_t i = 0; i < codes; i += 2) {
            const unsigned first = file[start + i];
            const unsigned second = i + 1 < codes ? file[start + i + 1] : 0;
            out.push_back(static_cast<std::uint8_t>(first));
            out.push_back(static_cast<std::uint8_t>((first >> 8) | ((second & 0xF) << 4)));
            if (i + 1 < codes) {
                out.push_back(static_cast<std::uint8_t>(second >> 4));
            }
        }
    }
    return out;
}

int encodingFor(const Sector& s, Td0Encoding choice) {
    switch (choice) {
    case Td0Encoding::Raw: return 0;
    case Td0Encoding::Pattern: return 1;
    case Td0Encoding::Rle: return 2;
    case Td0Encoding::Mixed: break;
    }
    return s.record % 3;
}

}  // namespace

std::vector<std::uint8_t> writeTd0(const Disk& disk, const Td0Options& options) {
    std::vector<std::uint8_t> file{'T', 'D', 0, 0, 0x15, 0, options.driveType,
                                   static_cast<std::uint8_t>(disk.comment.empty() && !options.emptyComment ? 0 : 0x80),
                                   0, static_cast<std::uint8_t>(disk.sides), 0, 0};
    if (!disk.comment.empty() || options.emptyComment) {
        std::vector<std::uint8_t> text;
        for (const char ch : disk.comment) {
            text.push_back(ch == '\n' ? 0 : static_cast<std::uint8_t>(ch));
        }
        putLe16(file, 0);  // CRC, not checked by readers of this tool
        putLe16(file, text.size());
        file.insert(file.end(), options.created.begin(), options.created.end());
        file.insert(file.end(), text.begin(), text.end());
    }
    for (int c = 0; c < disk.cylinders; ++c) {
        for (int h = 0; h < disk.sides; ++h) {
            const Track& track = disk.at(c, h);
            if (track.sectors.empty()) {
                continue;
            }
            file.push_back(static_cast<std::uint8_t>(track.sectors.size()));
            file.push_back(static_cast<std::uint8_t>(c));
            file.push_back(static_cast<std::uint8_t>(h | (track.sectors[0].fm ? 0x80 : 0)));
            file.push_back(0);
            for (const Sector& s : track.sectors) {
                const std::uint8_t flags = static_cast<std::uint8_t>(
                    (s.badDataCrc ? 0x02 : 0) | (s.mark == 0xF8 ? 0x04 : 0) |
                    (s.noDataField ? 0x20 : 0) | (s.notCaptured ? 0x10 : 0) |
                    (s.badIdCrc ? 0x80 : 0));
                file.insert(file.end(), {s.cylinder, s.head, s.record, s.sizeCode, flags, 0});
                if (s.noDataField || s.notCaptured) {
                    continue;
                }
                const auto data = sectorBytes(s);
                const int encoding = encodingFor(s, options.encoding);
                const auto body = encoding == 0   ? data
                                  : encoding == 1 ? encodePattern(data)
                                                  : encodeRle(data);
                putLe16(file, body.size() + 1);
                file.push_back(static_cast<std::uint8_t>(encoding));
                file.insert(file.end(), body.begin(), body.end());
            }
        }
    }
    file.insert(file.end(), {0xFF, 0, 0, 0});
    return options.advancedLzw ? literalLzw(file) : file;
}

}  // namespace mkdisk
