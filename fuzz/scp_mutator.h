#pragma once

// A mutator for SCP files that keeps the signature, the 16-bit word width and the offsets right:
// the file is parsed into its header, its tracks and their revolutions, one of them is changed
// (a header byte, a track's number or place in the table, a revolution's index time or flux
// words, a track dropped or doubled) and the file is laid out again with every offset and length
// recomputed. Blind byte mutation is one choice among them.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "mutator_support.h"

namespace svfuzz::scp {

inline constexpr std::size_t kHeader = 0x10;
inline constexpr std::size_t kEntries = 168;

struct Revolution {
    std::uint32_t index = 0;
    Bytes words;  // big-endian 16-bit flux words, as stored
};

struct Track {
    std::size_t entry = 0;  // place in the table
    std::uint8_t number = 0;
    std::vector<Revolution> revolutions;
};

struct File {
    std::array<std::uint8_t, kHeader> header{};
    std::vector<Track> tracks;
};

inline std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}
inline void putLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

inline bool parse(const std::uint8_t* data, std::size_t size, File& file) {
    if (size < kHeader + 4 || std::memcmp(data, "SCP", 3) != 0) {
        return false;
    }
    std::copy_n(data, kHeader, file.header.begin());
    const std::size_t revolutions = std::max<std::size_t>(data[5], 1);
    for (std::size_t t = 0; t < kEntries && kHeader + 4 * t + 4 <= size; ++t) {
        const std::size_t tdh = le32(data + kHeader + 4 * t);
        if (tdh == 0 || tdh + 4 + 12 * revolutions > size) {
            continue;
        }
        Track track{t, data[tdh + 3], {}};
        for (std::size_t r = 0; r < revolutions; ++r) {
            const std::uint8_t* e = data + tdh + 4 + 12 * r;
            const std::size_t start = std::min<std::size_t>(tdh + le32(e + 8), size);
            const std::size_t length = std::min<std::size_t>(std::size_t{le32(e + 4)} * 2, size - start);
            track.revolutions.push_back({le32(e), Bytes(data + start, data + start + (length & ~std::size_t{1}))});
        }
        file.tracks.push_back(std::move(track));
    }
    return !file.tracks.empty();
}

inline Bytes serialise(const File& file) {
    Bytes out(file.header.begin(), file.header.end());
    out.resize(kHeader + 4 * kEntries, 0);
    const std::size_t revolutions = std::max<std::size_t>(file.header[5], 1);
    // Two tracks in one table entry: the later one is named there, the earlier is bytes nothing
    // points at.
    for (const Track& track : file.tracks) {
        const std::size_t tdh = out.size();
        putLe32(out, kHeader + 4 * (track.entry % kEntries), static_cast<std::uint32_t>(tdh));
        out.insert(out.end(), {'T', 'R', 'K', track.number});
        out.resize(out.size() + 12 * revolutions, 0);
        for (std::size_t r = 0; r < revolutions; ++r) {
            // A track with fewer revolutions than the header names repeats its last.
            const Revolution& rev = track.revolutions[std::min(r, track.revolutions.size() - 1)];
            const std::size_t e = tdh + 4 + 12 * r;
            putLe32(out, e, rev.index);
            putLe32(out, e + 4, static_cast<std::uint32_t>(rev.words.size() / 2));
            putLe32(out, e + 8, static_cast<std::uint32_t>(out.size() - tdh));
            out.insert(out.end(), rev.words.begin(), rev.words.end());
        }
    }
    return out;
}

inline std::size_t mutate(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned seed) {
    std::minstd_rand random(seed);
    File file;
    if (!parse(data, size, file) || random() % 8 == 0) {
        return LLVMFuzzerMutate(data, size, maxSize);
    }
    Track& track = file.tracks[random() % file.tracks.size()];
    Revolution& rev = track.revolutions[random() % track.revolutions.size()];
    switch (random() % 6) {
    case 0: {  // a header byte after the signature; the word width stays 16 bits mostly
        const std::size_t at = 3 + random() % (kHeader - 3);
        file.header[at] = static_cast<std::uint8_t>(random());
        if (at == 9 && random() % 4 != 0) {
            file.header[9] = 0;
        }
        if (at == 5) {
            file.header[5] = static_cast<std::uint8_t>(1 + file.header[5] % 8);
        }
        break;
    }
    case 1:  // the track's number or its place in the table
        if (random() % 2 == 0) {
            track.number = static_cast<std::uint8_t>(random());
        } else {
            track.entry = random() % kEntries;
        }
        break;
    case 2:  // the index time
        rev.index = random() % 2 == 0 ? static_cast<std::uint32_t>(random()) : rev.index / 2;
        break;
    case 3:  // the flux words as bytes
        if (random() % 4 == 0) {
            const std::size_t length = rev.words.size();
            rev.words.resize(length + 256);
            rev.words.resize(LLVMFuzzerMutate(rev.words.data(), length, length + 256) & ~std::size_t{1});
            break;
        }
        [[fallthrough]];
    case 4:  // a run of flux words as a drive would give them: another word's length, a little off
        if (rev.words.size() >= 4) {
            const std::size_t count = rev.words.size() / 2;
            const std::size_t at = random() % count;
            for (std::size_t n = 1 + random() % 16; n > 0; --n) {
                const std::size_t from = 2 * (random() % count);
                const int value = (rev.words[from] << 8 | rev.words[from + 1]) + static_cast<int>(random() % 9) - 4;
                const std::size_t to = 2 * ((at + n) % count);
                rev.words[to] = static_cast<std::uint8_t>(value >> 8);
                rev.words[to + 1] = static_cast<std::uint8_t>(value);
            }
        }
        break;
    default:  // a track dropped or doubled
        if (random() % 2 == 0 && file.tracks.size() > 1) {
            file.tracks.erase(file.tracks.begin() + static_cast<std::ptrdiff_t>(random() % file.tracks.size()));
        } else {
            Track copy = track;
            copy.entry = random() % kEntries;
            file.tracks.push_back(std::move(copy));
        }
        break;
    }
    return putBack(serialise(file), data, size, maxSize);
}

}  // namespace svfuzz::scp
