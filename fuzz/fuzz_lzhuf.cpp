// Any bytes -> the Teledisk 2.x LZSS-Huffman decoder, with a small output limit; every input
// decodes to something, so the harness watches the bound and the tree's indices.
#include "formats/td0_advanced.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kLimit = 1 << 18;
    const sv::Expansion out = sv::expandLzhuf(svfuzz::input(data, size), kLimit);
    if (out.bytes.size() > kLimit + 60) {
        __builtin_trap();
    }
    return 0;
}
