// Any bytes -> the Teledisk 1.x LZW decoder, with a small output limit so that streams which
// expand without end are met quickly.
#include "formats/td0_advanced.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kLimit = 1 << 18;
    const sv::Expansion out = sv::expandLzw(svfuzz::input(data, size), kLimit);
    if (out.bytes.size() > kLimit + 4096) {
        __builtin_trap();
    }
    return 0;
}
