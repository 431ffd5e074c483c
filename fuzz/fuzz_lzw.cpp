// Any bytes -> the Teledisk 1.x LZW decoder, with a small output limit so that streams which
// expand without end are met quickly; the output is bounded by the limit and by the input.
#include "formats/td0_advanced.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kLimit = 1 << 18;
    const sv::Expansion out = sv::expandLzw(svfuzz::input(data, size), kLimit);
    // A 12-bit code gives at most the longest string the table holds (4096 bytes), so the output
    // also follows from the input's length.
    if (out.bytes.size() > kLimit + 4096 || out.bytes.size() > (size * 8 / 12 + 1) * 4096) {
        __builtin_trap();
    }
    return 0;
}
