#pragma once

// Teledisk "advanced compression": everything after the 12-byte image header is one compressed
// stream, 12-bit LZW for Teledisk 1.x and LZSS with adaptive Huffman coding for 2.x. Expanded,
// it is byte for byte the body of a normally compressed file.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sv {

inline constexpr std::size_t kTd0HeaderBytes = 12;

// The Teledisk CRC: polynomial 0xA097, preset 0, MSB first, no final inversion.
[[nodiscard]] std::uint16_t telediskCrc(std::span<const std::uint8_t> bytes);

// "TD" or "td" with a header CRC that matches: the file is a Teledisk image whatever its name.
[[nodiscard]] bool hasTd0Header(std::span<const std::uint8_t> file);

// Both decoders stop at the end of the input and never produce more than maxBytes.
struct Expansion {
    std::vector<std::uint8_t> bytes;
    // Empty when the stream decoded; else why not, as the end of a sentence about the file.
    std::string failure;
};
[[nodiscard]] Expansion expandLzw(std::span<const std::uint8_t> stream, std::size_t maxBytes);
[[nodiscard]] Expansion expandLzhuf(std::span<const std::uint8_t> stream, std::size_t maxBytes);

// A "td" file: the method its version byte names (below 20: LZW, else LZSS-Huffman), applied to
// the bytes after the header. On success `bytes` is the whole file as a "TD" file would hold it.
struct Td0Expansion {
    Expansion expanded;
    std::string method;  // "Teledisk 1.x, LZW" or "Teledisk 2.x, LZSS-Huffman"
};
[[nodiscard]] Td0Expansion expandAdvancedTd0(std::span<const std::uint8_t> file);

}  // namespace sv
