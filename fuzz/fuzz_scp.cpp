// SCP file bytes -> the reader: table, track headers, revolutions, flux words, the PLL, the
// decoder and the choice among revolutions. The mutator keeps the file's layout sound, so the
// changes reach the flux.
#include "formats/scp.h"
#include "fuzz_support.h"
#include "scp_mutator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sv::DiskImage& disk = svfuzz::sharedDisk();
    sv::clear(disk);
    svfuzz::NullLog log;
    sv::LogEditor text(log, "Loading SCP Image: fuzz.scp");
    sv::decodeScp(svfuzz::input(data, size), disk, text);
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
    return svfuzz::scp::mutate(data, size, maxSize, seed);
}
