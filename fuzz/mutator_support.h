#pragma once

// What the structure-aware mutators share: libFuzzer's own byte mutator, and putting a rebuilt
// file back in place of the input.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace svfuzz {

using Bytes = std::vector<std::uint8_t>;

// The rebuilt file as the new input; a plain byte mutation of the input when it would not fit.
inline std::size_t putBack(const Bytes& rebuilt, std::uint8_t* data, std::size_t size,
                           std::size_t maxSize) {
    if (rebuilt.size() > maxSize) {
        return LLVMFuzzerMutate(data, size, maxSize);
    }
    std::memcpy(data, rebuilt.data(), rebuilt.size());
    return rebuilt.size();
}

}  // namespace svfuzz
