// Any bytes -> the Teledisk 2.x LZSS-Huffman decoder, with a small output limit; every input
// decodes to something, so the harness watches the bound and the tree's indices.
#include "formats/td0_advanced.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kLimit = 1 << 18;
    const sv::Expansion out = sv::expandLzhuf(svfuzz::input(data, size), kLimit);
    // Every symbol takes at least one bit of the input and gives at most 60 bytes: bits read past
    // the end must not keep the decoder going.
    if (out.bytes.size() > kLimit + 60 || out.bytes.size() > (size * 8 + 1) * 60) {
        __builtin_trap();
    }
    return 0;
}
