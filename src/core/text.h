#pragma once

// The one text module: fixed-width number fields, hexadecimal, line ends and the disk's
// single-byte characters. Disk texts hold one char per disk byte (read as Latin-1); log lines
// end in "\r\n".

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sv {

// Decimal with leading zeros up to `digits`; a wider number keeps all its digits.
[[nodiscard]] std::string zeroPadded(long value, int digits);
// The same, appended to `text` without a string of its own.
void appendZeroPadded(std::string& text, long value, int digits);
// Upper-case hexadecimal with leading zeros up to `digits`; a wider number keeps all its digits.
[[nodiscard]] std::string hexPadded(std::uint64_t value, int digits);
// Upper-case hexadecimal of the low `digits` digits: a field that never grows.
[[nodiscard]] std::string hexField(std::uint64_t value, int digits);
// Two upper-case hexadecimal digits per byte, nothing between them.
[[nodiscard]] std::string hexBytes(std::span<const std::uint8_t> bytes);

// Padded with spaces on the right to `width`; never cut.
[[nodiscard]] std::string padRight(std::string text, std::size_t width);
// Without the spaces at either end.
[[nodiscard]] std::string trimmed(std::string_view text);
// One char per byte.
[[nodiscard]] std::string textOf(std::span<const std::uint8_t> bytes);

enum class LoneCarriageReturn { Kept, EndsLine };
// "\r\n" becomes "\n"; a CR on its own is kept or ends a line too.
[[nodiscard]] std::string unixLines(std::string_view text,
                                    LoneCarriageReturn loneCr = LoneCarriageReturn::Kept);
// Disk bytes read as Latin-1, written as UTF-8.
[[nodiscard]] std::string latin1ToUtf8(std::string_view text);

}  // namespace sv
