#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/disk_image.h"
#include "core/operation_log.h"
#include "formats/dmk.h"
#include "mkdisk/fixture.h"

namespace svtest {

struct Decoded {
    sv::DiskImagePtr disk = sv::makeDiskImage();
    std::string log;
};

// Decodes DMK bytes as a load of `path` would, without touching the file system.
inline Decoded decodeDmkBytes(const std::vector<std::uint8_t>& file, const std::string& path = "x.dmk") {
    Decoded out;
    sv::TextSink log;
    sv::LogEditor text(log, "Loading DMK Image: " + path);
    sv::decodeDmk(file, *out.disk, text);
    out.log = log.currentText();
    return out;
}

inline Decoded decodeDmkDisk(const mkdisk::Disk& disk, const mkdisk::DmkOptions& options = {}) {
    return decodeDmkBytes(mkdisk::writeDmk(disk, options));
}

// The sector of the disk at (side, cylinder, slot index).
inline const sv::SectorEntry& slot(const sv::DiskImage& disk, int side, int cylinder, int index) {
    return disk.track(side, cylinder).sectors[static_cast<std::size_t>(index)];
}

}  // namespace svtest
