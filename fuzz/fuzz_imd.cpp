// IMD file bytes -> the reader.
#include "formats/imd.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sv::DiskImage& disk = svfuzz::sharedDisk();
    svfuzz::NullLog log;
    sv::loadImdBytes(svfuzz::input(data, size), "fuzz.imd", disk, log);
    return 0;
}
