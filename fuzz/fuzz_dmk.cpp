// DMK file bytes -> the reader; a disk that loads is written back and read again, so the writer
// meets every odd sector the reader can produce.
#include "formats/dmk.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sv::DiskImage& disk = svfuzz::sharedDisk();
    sv::clear(disk);
    svfuzz::NullLog log;
    sv::LogEditor text(log, "Loading DMK Image: fuzz.dmk");
    sv::decodeDmk(svfuzz::input(data, size), disk, text);
    if (!sv::isEmpty(disk)) {
        sv::LogEditor save(log, "Saving DMK Image: fuzz.dmk");
        const auto file = sv::encodeDmk(disk, save);
        if (file) {
            sv::clear(disk);
            sv::LogEditor again(log, "Loading DMK Image: fuzz.dmk");
            sv::decodeDmk(*file, disk, again);
        }
    }
    return 0;
}
