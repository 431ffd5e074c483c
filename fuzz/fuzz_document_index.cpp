// DOCUMENT/CTL bytes -> the index reader.
#include "analysis/document_index.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)sv::readDocumentIndex(svfuzz::input(data, size));
    return 0;
}
