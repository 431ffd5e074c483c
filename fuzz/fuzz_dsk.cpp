// DSK file bytes -> the reader.
#include "formats/dsk.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sv::DiskImage& disk = svfuzz::sharedDisk();
    svfuzz::NullLog log;
    sv::loadDskBytes(svfuzz::input(data, size), "fuzz.dsk", disk, log);
    return 0;
}
