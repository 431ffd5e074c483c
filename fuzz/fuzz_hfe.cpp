// HFE file bytes -> the reader; a disk that loads is written back and read again, so the writer's
// synthesis meets every odd sector the reader can produce.
#include "formats/hfe.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sv::DiskImage& disk = svfuzz::sharedDisk();
    sv::clear(disk);
    svfuzz::NullLog log;
    sv::LogEditor text(log, "Loading HFE Image: fuzz.hfe");
    sv::decodeHfe(svfuzz::input(data, size), disk, text);
    if (!sv::isEmpty(disk)) {
        sv::LogEditor save(log, "Saving HFE Image: fuzz.hfe");
        const auto file = sv::encodeHfe(disk, save);
        if (file) {
            sv::clear(disk);
            sv::LogEditor again(log, "Loading HFE Image: fuzz.hfe");
            sv::decodeHfe(*file, disk, again);
        }
    }
    return 0;
}
