#pragma once

// Model II BASIC programs as text: the tokenised form, or the record form of length-prefixed
// lines that files marked "RSBASIC" use.

#include <cstdint>
#include <span>
#include <string>

namespace sv {

// One program line per text line, each ending in "\r\n". Stops at the end of the input when the
// program's own end (a zero link, an END line) is missing.
[[nodiscard]] std::string detokeniseBasic(std::span<const std::uint8_t> program);

}  // namespace sv
