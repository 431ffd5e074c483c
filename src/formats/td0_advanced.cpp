#include "formats/td0_advanced.h"

#include <algorithm>
#include <array>
#include <memory>

#include "core/file_io.h"

namespace sv {

namespace {

constexpr std::uint16_t kTelediskPolynomial = 0xA097;
constexpr int kFirstLzhufVersion = 20;

// --- 1.x: blocks of fixed-width 12-bit LZW codes, the dictionary reset per block.

constexpr int kLzwEntries = 4096;
constexpr int kLzwSingles = 256;

class LzwDictionary {
public:
    void reset() { next_ = kLzwSingles; }
    [[nodiscard]] int next() const { return next_; }
    void add(int prefix, std::uint8_t last) {
        if (next_ < kLzwEntries) {
            prefix_[next_] = static_cast<std::uint16_t>(prefix);
            last_[next_] = last;
            length_[next_] = static_cast<std::uint16_t>(lengthOf(prefix) + 1);
            ++next_;
        }
    }
    [[nodiscard]] int lengthOf(int code) const { return code < kLzwSingles ? 1 : length_[code]; }
    // Writes the string of `code` at the end of `out`; returns its first byte.
    std::uint8_t emit(int code, std::vector<std::uint8_t>& out) const {
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(lengthOf(code)));
        std::size_t at = out.size();
        while (code >= kLzwSingles) {
            out[--at] = last_[code];
            code = prefix_[code];
        }
        out[--at] = static_cast<std::uint8_t>(code);
        return out[start];
    }

private:
    int next_ = kLzwSingles;
    std::array<std::uint16_t, kLzwEntries> prefix_{};
    std::array<std::uint8_t, kLzwEntries> last_{};
    std::array<std::uint16_t, kLzwEntries> length_{};
};

// --- 2.x: LZSS over a 4096-byte ring, literals and lengths coded by an adaptive Huffman tree,
// the upper six bits of a position by a fixed prefix code.

constexpr std::size_t kRingBytes = 4096;
constexpr int kLookAhead = 60;
constexpr int kThreshold = 2;
constexpr int kSymbols = 256 + kLookAhead - kThreshold;  // 314
constexpr int kNodes = 2 * kSymbols - 1;                 // 627
constexpr int kRoot = kNodes - 1;
constexpr std::uint16_t kRebuildFrequency = 0x8000;

// Position prefix code: the 8 bits read select the upper six bits, in groups whose codes share a
// length; `extraBits` more bits follow.
struct PositionGroup {
    int firstValue;
    int firstUpper;
    int valuesPerUpper;
    int extraBits;
};
constexpr std::array<PositionGroup, 6> kPositionGroups{{
    {0x00, 0, 32, 1},
    {0x20, 1, 16, 2},
    {0x50, 4, 8, 3},
    {0x90, 12, 4, 4},
    {0xC0, 24, 2, 5},
    {0xF0, 48, 1, 6},
}};

// MSB-first bits of the input; bits past the end read as zero.
class BitInput {
public:
    explicit BitInput(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    [[nodiscard]] bool exhausted() const { return bit_ >= bytes_.size() * 8; }
    int bit() {
        const std::size_t byte = bit_ / 8;
        const int value = byte < bytes_.size() ? (bytes_[byte] >> (7 - bit_ % 8)) & 1 : 0;
        ++bit_;
        return value;
    }
    int bits(int count) {
        int value = 0;
        for (int i = 0; i < count; ++i) {
            value = (value << 1) | bit();
        }
        return value;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t bit_ = 0;
};

// The nodes are kept in order of frequency; a node's children are son and son + 1, a leaf's
// son is its symbol + kNodes.
class AdaptiveTree {
public:
    AdaptiveTree() {
        for (int i = 0; i < kSymbols; ++i) {
            freq_[i] = 1;
            son_[i] = i + kNodes;
            parent_[i + kNodes] = i;
        }
        for (int i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
            freq_[j] = static_cast<std::uint16_t>(freq_[i] + freq_[i + 1]);
            son_[j] = i;
            parent_[i] = parent_[i + 1] = j;
        }
        freq_[kNodes] = 0xFFFF;
        parent_[kRoot] = 0;
    }

    int decode(BitInput& in) {
        int node = son_[kRoot];
        while (node < kNodes) {
            node = son_[node + in.bit()];
        }
        const int symbol = node - kNodes;
        update(symbol);
        return symbol;
    }

private:
    void update(int symbol) {
        if (freq_[kRoot] == kRebuildFrequency) {
            rebuild();
        }
        int node = parent_[symbol + kNodes];
        do {
            const std::uint16_t f = ++freq_[node];
            int swap = node + 1;
            if (f > freq_[swap]) {
                while (f > freq_[swap + 1]) {
                    ++swap;
                }
                freq_[node] = freq_[swap];
                freq_[swap] = f;
                const int a = son_[node];
                parent_[a] = swap;
                if (a < kNodes) {
                    parent_[a + 1] = swap;
                }
                const int b = son_[swap];
                son_[swap] = a;
                parent_[b] = node;
                if (b < kNodes) {
                    parent_[b + 1] = node;
                }
                son_[node] = b;
                node = swap;
            }
            node = parent_[node];
        } while (node != 0);
    }

    // Halves the leaves' counts and pairs the nodes again, each new node inserted in order.
    void rebuild() {
        int leaves = 0;
        for (int i = 0; i < kNodes; ++i) {
            if (son_[i] >= kNodes) {
                freq_[leaves] = static_cast<std::uint16_t>((freq_[i] + 1) / 2);
                son_[leaves] = son_[i];
                ++leaves;
            }
        }
        for (int i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
            const auto f = static_cast<std::uint16_t>(freq_[i] + freq_[i + 1]);
            int at = j - 1;
            while (f < freq_[at]) {
                --at;
            }
            ++at;
            std::copy_backward(freq_.begin() + at, freq_.begin() + j, freq_.begin() + j + 1);
            std::copy_backward(son_.begin() + at, son_.begin() + j, son_.begin() + j + 1);
            freq_[at] = f;
            son_[at] = i;
        }
        for (int i = 0; i < kNodes; ++i) {
            const int child = son_[i];
            parent_[child] = i;
            if (child < kNodes) {
                parent_[child + 1] = i;
            }
        }
    }

    std::array<std::uint16_t, kNodes + 1> freq_{};
    std::array<int, kNodes + kSymbols> parent_{};
    std::array<int, kNodes> son_{};
};

int decodePosition(BitInput& in) {
    const int value = in.bits(8);
    const PositionGroup* group = &kPositionGroups[0];
    for (const PositionGroup& g : kPositionGroups) {
        if (value >= g.firstValue) {
            group = &g;
        }
    }
    const int upper = group->firstUpper + (value - group->firstValue) / group->valuesPerUpper;
    const int lower = ((value << group->extraBits) | in.bits(group->extraBits)) & 0x3F;
    return (upper << 6) | lower;
}

std::string tooLarge(std::size_t maxBytes) {
    return "expands to more than " + std::to_string(maxBytes / (1024 * 1024)) +
           " MiB, more than any disk image needs";
}

}  // namespace

std::uint16_t telediskCrc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0;
    for (const std::uint8_t b : bytes) {
        crc = static_cast<std::uint16_t>(crc ^ (b << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ kTelediskPolynomial
                                                                 : crc << 1);
        }
    }
    return crc;
}

bool hasTd0Header(std::span<const std::uint8_t> file) {
    if (file.size() < kTd0HeaderBytes) {
        return false;
    }
    const bool signature = (file[0] == 'T' && file[1] == 'D') || (file[0] == 't' && file[1] == 'd');
    return signature && telediskCrc(file.first(10)) == (file[10] | (file[11] << 8));
}

Expansion expandLzw(std::span<const std::uint8_t> stream, std::size_t maxBytes) {
    Expansion result;
    auto dictionary = std::make_unique<LzwDictionary>();
    std::size_t pos = 0;
    while (pos + 2 <= stream.size()) {
        const std::size_t codes = (stream[pos] | (stream[pos + 1] << 8)) / 3;
        pos += 2;
        dictionary->reset();
        int previous = -1;
        for (std::size_t i = 0; i < codes; ++i) {
            // Two codes in three bytes, the first in the low twelve bits.
            const std::size_t at = pos + (i / 2) * 3;
            const std::size_t need = i % 2 == 0 ? 2 : 3;
            if (at + need > stream.size()) {
                return result;  // the stream ends inside a block: what came out is all there is
            }
            const unsigned pair = stream[at] | (stream[at + 1] << 8) |
                                  (at + 2 < stream.size() ? stream[at + 2] << 16 : 0);
            const int code = static_cast<int>(i % 2 == 0 ? pair & 0xFFF : pair >> 12);
            if (code > dictionary->next() || (code == dictionary->next() && previous < 0)) {
                result.failure = "holds LZW code " + std::to_string(code) + " before its entry exists";
                return result;
            }
            std::uint8_t first = 0;
            if (code == dictionary->next()) {
                first = dictionary->emit(previous, result.bytes);
                result.bytes.push_back(first);
            } else {
                first = dictionary->emit(code, result.bytes);
            }
            if (previous >= 0) {
                dictionary->add(previous, first);
            }
            previous = code;
            if (result.bytes.size() > maxBytes) {
                result.failure = tooLarge(maxBytes);
                return result;
            }
        }
        pos += (codes * 3 + 1) / 2;
    }
    return result;
}

Expansion expandLzhuf(std::span<const std::uint8_t> stream, std::size_t maxBytes) {
    Expansion result;
    auto tree = std::make_unique<AdaptiveTree>();
    // The ring is the output itself, behind a ring's worth of the spaces it starts out holding. A
    // position names a distance back of 1 to a whole ring; the copy goes byte by byte, so a match
    // may repeat what it is itself writing.
    std::vector<std::uint8_t>& out = result.bytes;
    out.assign(kRingBytes, ' ');
    BitInput in(stream);
    while (!in.exhausted()) {
        const int symbol = tree->decode(in);
        if (symbol < 256) {
            out.push_back(static_cast<std::uint8_t>(symbol));
        } else {
            const auto length = static_cast<std::size_t>(symbol - 256 + kThreshold + 1);
            const auto distance = static_cast<std::size_t>(decodePosition(in) + 1);
            const std::size_t at = out.size();
            out.resize(at + length);
            std::uint8_t* to = out.data() + at;
            const std::uint8_t* from = to - distance;
            for (std::size_t k = 0; k < length; ++k) {
                to[k] = from[k];
            }
        }
        if (out.size() - kRingBytes > maxBytes) {
            result.failure = tooLarge(maxBytes);
            break;
        }
    }
    out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(kRingBytes));
    return result;
}

Td0Expansion expandAdvancedTd0(std::span<const std::uint8_t> file) {
    Td0Expansion result;
    if (file.size() < kTd0HeaderBytes) {
        result.expanded.failure = "ends inside its header";
        return result;
    }
    const bool lzw = file[4] < kFirstLzhufVersion;
    result.method = lzw ? "Teledisk 1.x, LZW" : "Teledisk 2.x, LZSS-Huffman";
    const auto stream = file.subspan(kTd0HeaderBytes);
    result.expanded = lzw ? expandLzw(stream, kMaxImageFileBytes) : expandLzhuf(stream, kMaxImageFileBytes);
    if (result.expanded.failure.empty() && result.expanded.bytes.empty()) {
        result.expanded.failure = "holds no compressed data after its header";
    }
    if (!result.expanded.failure.empty()) {
        return result;
    }
    std::vector<std::uint8_t> whole(file.begin(), file.begin() + kTd0HeaderBytes);
    whole[0] = 'T';
    whole[1] = 'D';
    whole.insert(whole.end(), result.expanded.bytes.begin(), result.expanded.bytes.end());
    result.expanded.bytes = std::move(whole);
    return result;
}

}  // namespace sv
