#pragma once

// The differential round trip every writer must pass: load -> save -> load gives back every
// sector the writer did not report, with its ID, density, status, data and data state. A writer
// joins by naming its save, the loader of its files and its preflight.

#include <gtest/gtest.h>

#include <string>

#include "core/disk_image.h"
#include "core/operation_log.h"
#include "formats/image_types.h"
#include "formats/save_preflight.h"
#include "format_test_support.h"

namespace svtest {

struct WriterUnderTest {
    std::string extension;  // ".dmk"
    bool (*save)(const std::string&, const sv::DiskImage&, sv::OperationLog&);
    sv::ImageLoader load;
    sv::SavePreflight (*preflight)(const sv::DiskImage&);
};

// Returns the reloaded disk for further checks; nothing when the writer refused the disk, which
// it may do only with a line saying why.
inline sv::DiskImagePtr expectDifferentialRoundTrip(const sv::DiskImage& disk,
                                                                  const WriterUnderTest& writer,
                                                                  const std::string& path) {
    const sv::SavePreflight reported = writer.preflight(disk);
    sv::TextSink log;
    if (!writer.save(path, disk, log)) {
        EXPECT_TRUE(log.currentText().ends_with("\r\nOperation aborted.")) << log.currentText();
        return nullptr;
    }
    auto again = sv::makeDiskImage();
    sv::TextSink reloadLog;
    writer.load(path, *again, reloadLog, {});
    const sv::HeldGeometry held = sv::heldGeometry(disk);
    for (int s = 0; s < held.sides; ++s) {
        for (int c = 0; c < held.cylinders; ++c) {
            const auto& before = disk.track(s, c);
            const auto& after = again->track(s, c);
            EXPECT_EQ(before.sectorCount, after.sectorCount)
                << writer.extension << " C" << c << " S" << s << "\n" << reloadLog.currentText();
            for (int k = 0; k < std::min(before.sectorCount, after.sectorCount); ++k) {
                if (reported.reports({s, c, k})) {
                    continue;
                }
                const auto& x = before.sectors[k];
                const auto& y = after.sectors[k];
                const auto where = writer.extension + " C" + std::to_string(c) + " S" +
                                   std::to_string(s) + " slot " + std::to_string(k + 1);
                EXPECT_EQ(x.cylinder, y.cylinder) << where;
                EXPECT_EQ(x.head, y.head) << where;
                EXPECT_EQ(x.record, y.record) << where;
                EXPECT_EQ(x.sizeCode, y.sizeCode) << where;
                EXPECT_EQ(x.singleDensity, y.singleDensity) << where;
                EXPECT_EQ(x.status, y.status) << where;
                EXPECT_EQ(sv::dataState(disk, s, c, k), sv::dataState(*again, s, c, k)) << where;
                EXPECT_EQ(sectorData(x, x.lengthBytes()), sectorData(y, y.lengthBytes())) << where;
            }
        }
    }
    return again;
}

}  // namespace svtest
