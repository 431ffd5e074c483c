// Tokenised BASIC (program or record form) -> the detokeniser.
#include "analysis/basic_detokeniser.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)sv::detokeniseBasic(svfuzz::input(data, size));
    return 0;
}
