// flux_decode [RUNS]: decodes a two-sided 77-cylinder Model II SCP of three revolutions (mkdisk's
// blank-ds sample with jitter and speed variation) and prints the fastest and the median time,
// wall clock and processor time (on a shared machine the second is the one to compare).
#include <algorithm>
#include <chrono>
#include <ctime>
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
    std::vector<double> cpuSeconds;
    int sectors = 0;
    for (int i = 0; i < runs; ++i) {
        sv::clear(*disk);
        sv::TextSink log;
        sv::LogEditor text(log, "Loading SCP Image: bench.scp");
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        sv::decodeScp(file, *disk, text);
        cpuSeconds.push_back(static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        sectors = 0;
        for (int c = 0; c < disk->trackCount; ++c) {
            for (int s = 0; s < disk->sideCount; ++s) {
                sectors += disk->track(s, c).sectorCount;
            }
        }
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpuSeconds.begin(), cpuSeconds.end());
    std::printf("SCP %zu bytes, %d cylinders x %d sides x 3 revolutions, %d sectors kept\n",
                file.size(), disk->trackCount, disk->sideCount, sectors);
    std::printf("decode: fastest %.3f s, median %.3f s over %d runs (processor time: fastest %.3f s, "
                "median %.3f s)\n",
                seconds.front(), seconds[seconds.size() / 2], runs, cpuSeconds.front(),
                cpuSeconds[cpuSeconds.size() / 2]);
    return sectors == 77 * 2 * 26 ? 0 : 1;
}
