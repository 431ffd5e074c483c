// SCP file bytes -> the reader: table, track headers, revolutions, flux words, the PLL, the
// decoder and the choice among revolutions.
#include "formats/scp.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sv::DiskImage& disk = svfuzz::sharedDisk();
    sv::clear(disk);
    svfuzz::NullLog log;
    sv::LogEditor text(log, "Loading SCP Image: fuzz.scp");
    sv::decodeScp(svfuzz::input(data, size), disk, text);
    return 0;
}
