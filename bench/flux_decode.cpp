// flux_decode [RUNS]: decodes a two-sided 77-cylinder Model II SCP of three revolutions (mkdisk's
// blank-ds sample with jitter and speed variation) and prints the fastest and the median time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/operation_log.h"
#include "formats/scp.h"
#include "mkdisk/samples.h"

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const auto file = mkdisk::writeScp(mkdisk::findSample("blank-ds")->build(), {.revolutions = 3});
    auto disk = sv::makeDiskImage();
    std::vector<double> seconds;
    int sectors = 0;
    for (int i = 0; i < runs; ++i) {
        sv::clear(*disk);
        sv::TextLog log;
        sv::LogText text(log, "Loading SCP Image: bench.scp");
        const auto start = std::chrono::steady_clock::now();
        sv::decodeScp(file, *disk, text);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        sectors = 0;
        for (int c = 0; c < disk->trackCount; ++c) {
            for (int s = 0; s < disk->sideCount; ++s) {
                sectors += disk->track(s, c).sectorCount;
            }
        }
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("SCP %zu bytes, %d cylinders x %d sides x 3 revolutions, %d sectors kept\n",
                file.size(), disk->trackCount, disk->sideCount, sectors);
    std::printf("decode: fastest %.3f s, median %.3f s over %d runs\n", seconds.front(),
                seconds[seconds.size() / 2], runs);
    return sectors == 77 * 2 * 26 ? 0 : 1;
}
