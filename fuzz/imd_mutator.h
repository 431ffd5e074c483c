#pragma once

// A mutator for IMD files that keeps the comment header (up to its 0x1A) and mutates the track
// records as records: a track's mode, cylinder, head flags, count and size code (the maps and
// sector records follow the new count and size, so the file stays readable past it), a sector
// record's type (its payload follows the type), a sector's bytes, or whole tracks (dropped or
// doubled). Blind byte mutation of everything after the header is one choice among them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "mutator_support.h"

namespace svfuzz::imd {

struct Sector {
    std::uint8_t type = 0;
    Bytes payload;  // nothing (type 0 and types above 8), one byte (even types) or the sector
};

struct Track {
    std::uint8_t mode = 0, cylinder = 0, head = 0, size = 0;
    Bytes numbering, cylinderMap, headMap;
    std::vector<Sector> sectors;
};

struct File {
    Bytes header;  // through the 0x1A
    std::vector<Track> tracks;
    Bytes rest;  // what could not be read as tracks
};

inline std::size_t sectorLength(std::uint8_t size) { return std::size_t{128} << std::min<int>(size, 6); }
inline std::size_t payloadLength(std::uint8_t type, std::uint8_t size) {
    if (type == 0 || type > 8) {
        return 0;
    }
    return type % 2 == 0 ? 1 : sectorLength(size);
}

inline bool parse(const std::uint8_t* data, std::size_t size, File& file) {
    const auto* end = std::find(data, data + size, std::uint8_t{0x1A});
    if (end == data + size) {
        return false;
    }
    file.header.assign(data, end + 1);
    std::size_t at = file.header.size();
    while (at + 5 <= size) {
        Track t{data[at], data[at + 1], data[at + 2], data[at + 4], {}, {}, {}, {}};
        const std::size_t count = data[at + 3];
        std::size_t pos = at + 5;
        const auto take = [&](Bytes& into, std::size_t n) {
            if (pos + n > size) {
                return false;
            }
            into.assign(data + pos, data + pos + n);
            pos += n;
            return true;
        };
        bool whole = t.size <= 6 && take(t.numbering, count) &&
                     ((t.head & 0x80) == 0 || take(t.cylinderMap, count)) &&
                     ((t.head & 0x40) == 0 || take(t.headMap, count));
        for (std::size_t k = 0; whole && k < count; ++k) {
            if (pos >= size) {
                whole = false;
                break;
            }
            Sector s{data[pos++], {}};
            whole = take(s.payload, payloadLength(s.type, t.size));
            t.sectors.push_back(std::move(s));
        }
        if (!whole) {
            break;
        }
        file.tracks.push_back(std::move(t));
        at = pos;
    }
    file.rest.assign(data + at, data + size);
    return true;
}

inline Bytes serialise(const File& file) {
    Bytes out = file.header;
    for (const Track& t : file.tracks) {
        out.insert(out.end(), {t.mode, t.cylinder, t.head, static_cast<std::uint8_t>(t.sectors.size()), t.size});
        out.insert(out.end(), t.numbering.begin(), t.numbering.end());
        out.insert(out.end(), t.cylinderMap.begin(), t.cylinderMap.end());
        out.insert(out.end(), t.headMap.begin(), t.headMap.end());
        for (const Sector& s : t.sectors) {
            out.push_back(s.type);
            out.insert(out.end(), s.payload.begin(), s.payload.end());
        }
    }
    out.insert(out.end(), file.rest.begin(), file.rest.end());
    return out;
}

// Mutates `bytes` in place with the fuzzer's own byte mutations, up to `limit` bytes.
inline void mutateBytes(Bytes& bytes, std::size_t limit) {
    const std::size_t size = bytes.size();
    bytes.resize(std::max(limit, size) + 1);
    bytes.resize(LLVMFuzzerMutate(bytes.data(), size, std::max(limit, size)));
}

// The maps and payloads after a track's head changed: as many entries as sectors, payloads as
// long as the size code says.
inline void conform(Track& t, std::size_t count) {
    count = std::min<std::size_t>(count, 255);
    t.sectors.resize(count);
    t.numbering.resize(count, static_cast<std::uint8_t>(count));
    t.cylinderMap.resize((t.head & 0x80) != 0 ? count : 0, t.cylinder);
    t.headMap.resize((t.head & 0x40) != 0 ? count : 0, static_cast<std::uint8_t>(t.head & 1));
    for (Sector& s : t.sectors) {
        s.payload.resize(payloadLength(s.type, t.size), 0xE5);
    }
}

inline std::size_t mutate(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned seed) {
    std::minstd_rand random(seed);
    File file;
    if (!parse(data, size, file) || file.tracks.empty() || random() % 8 == 0) {
        return LLVMFuzzerMutate(data, size, maxSize);
    }
    Track& t = file.tracks[random() % file.tracks.size()];
    switch (random() % 5) {
    case 0: {  // the track's head: mode, cylinder, head flags, count, size code
        Bytes head{t.mode, t.cylinder, t.head, static_cast<std::uint8_t>(t.sectors.size()), t.size};
        mutateBytes(head, 5);
        head.resize(5, 0);
        t.mode = head[0];
        t.cylinder = head[1];
        t.head = head[2];
        t.size = std::min<std::uint8_t>(head[4], 7);  // 7 is the one undefined code the reader meets
        conform(t, head[3]);
        break;
    }
    case 1: {  // a map entry
        Bytes* maps[] = {&t.numbering, &t.cylinderMap, &t.headMap};
        Bytes& map = *maps[random() % 3];
        if (!map.empty()) {
            map[random() % map.size()] = static_cast<std::uint8_t>(random());
        }
        break;
    }
    case 2:  // a sector record's type
        if (!t.sectors.empty()) {
            Sector& s = t.sectors[random() % t.sectors.size()];
            s.type = static_cast<std::uint8_t>(random() % 10);
            s.payload.resize(payloadLength(s.type, t.size), 0xE5);
        }
        break;
    case 3:  // a sector's bytes, at the same length
        if (!t.sectors.empty()) {
            Sector& s = t.sectors[random() % t.sectors.size()];
            const std::size_t length = s.payload.size();
            mutateBytes(s.payload, length);
            s.payload.resize(length, 0);
        }
        break;
    default:  // a track doubled or dropped
        if (random() % 2 == 0 && file.tracks.size() > 1) {
            file.tracks.erase(file.tracks.begin() + static_cast<std::ptrdiff_t>(random() % file.tracks.size()));
        } else {
            const Track copy = t;
            file.tracks.push_back(copy);
        }
        break;
    }
    return putBack(serialise(file), data, size, maxSize);
}

}  // namespace svfuzz::imd
