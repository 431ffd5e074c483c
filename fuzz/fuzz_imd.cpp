// IMD file bytes -> the reader.
#include "formats/imd.h"
#include "fuzz_support.h"
#include "imd_mutator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sv::DiskImage& disk = svfuzz::sharedDisk();
    svfuzz::NullLog log;
    sv::loadImdBytes(svfuzz::input(data, size), "fuzz.imd", disk, log);
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
    return svfuzz::imd::mutate(data, size, maxSize, seed);
}
