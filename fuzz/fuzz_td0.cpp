// TD0 file bytes -> the reader.
#include "formats/td0.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sv::DiskImage& disk = svfuzz::sharedDisk();
    svfuzz::NullLog log;
    sv::loadTd0Bytes(svfuzz::input(data, size), "fuzz.td0", disk, log);
    return 0;
}
