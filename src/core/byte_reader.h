#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace sv {

// Bounded reads over file bytes: a read past the end gives 0 and sets a flag the caller checks
// once, so a truncated or hostile file can never be read out of bounds.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    [[nodiscard]] std::size_t size() const { return bytes_.size(); }
    [[nodiscard]] bool has(std::size_t offset, std::size_t count = 1) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    [[nodiscard]] std::uint8_t u8(std::size_t offset) const {
        if (!has(offset)) {
            overran_ = true;
            return 0;
        }
        return bytes_[offset];
    }
    [[nodiscard]] std::uint16_t le16(std::size_t offset) const {
        return static_cast<std::uint16_t>(u8(offset) | (u8(offset + 1) << 8));
    }
    [[nodiscard]] std::uint16_t be16(std::size_t offset) const {
        return static_cast<std::uint16_t>((u8(offset) << 8) | u8(offset + 1));
    }
    [[nodiscard]] std::uint32_t le32(std::size_t offset) const {
        return static_cast<std::uint32_t>(le16(offset)) |
               (static_cast<std::uint32_t>(le16(offset + 2)) << 16);
    }
    // The bytes [offset, offset + count) that exist; shorter (possibly empty) near the end.
    [[nodiscard]] std::span<const std::uint8_t> bytes(std::size_t offset, std::size_t count) const {
        if (offset >= bytes_.size()) {
            if (count > 0) {
                overran_ = true;
            }
            return {};
        }
        if (count > bytes_.size() - offset) {
            overran_ = true;
            count = bytes_.size() - offset;
        }
        return bytes_.subspan(offset, count);
    }
    [[nodiscard]] bool overran() const { return overran_; }
    void resetOverrun() { overran_ = false; }

private:
    std::span<const std::uint8_t> bytes_;
    mutable bool overran_ = false;
};

}  // namespace sv
