// dmk_load_save IMAGE [RUNS]: loads a DMK image from a file and saves it as DMK to a temporary
// file, as `convert IMAGE OUT.dmk` does, and prints the fastest and the median time of the load,
// the save and both, wall clock and processor time (on a shared machine the second is the one to
// compare). The image is ../shared/realdisks/dmk/m2-lsdos-6.3.1a-ds.dmk in scripts/bench.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/operation_log.h"
#include "formats/dmk.h"

namespace {

struct Times {
    std::vector<double> wall;
    std::vector<double> cpu;

    void print(const char* what) {
        std::sort(wall.begin(), wall.end());
        std::sort(cpu.begin(), cpu.end());
        std::printf("%-10s fastest %7.3f ms, median %7.3f ms (processor time: fastest %7.3f ms, median %7.3f ms)\n",
                    what, wall.front() * 1e3, wall[wall.size() / 2] * 1e3, cpu.front() * 1e3,
                    cpu[cpu.size() / 2] * 1e3);
    }
};

class Clock {
public:
    void stop(Times& into) const {
        into.wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count());
        into.cpu.push_back(static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC);
    }

private:
    std::chrono::steady_clock::time_point wall_ = std::chrono::steady_clock::now();
    std::clock_t cpu_ = std::clock();
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: dmk_load_save IMAGE [RUNS]\n");
        return 2;
    }
    const std::string image = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const std::string out =
        (std::filesystem::temp_directory_path() / ("dmk_load_save_" + std::to_string(::getpid()) + ".dmk")).string();
    Times load;
    Times save;
    Times both;
    int sectors = 0;
    for (int i = 0; i < runs; ++i) {
        const Clock total;
        // A fresh store each time, as the command-line program makes one per command.
        auto disk = sv::makeDiskImage();
        sv::TextSink log;
        const Clock loading;
        sv::loadDmkImage(image, *disk, log);
        loading.stop(load);
        if (sv::isEmpty(*disk)) {
            std::fprintf(stderr, "%s did not load:\n%s\n", image.c_str(), log.currentText().c_str());
            return 1;
        }
        const Clock saving;
        if (!sv::saveDmkImage(out, *disk, log)) {
            std::fprintf(stderr, "%s could not be saved:\n%s\n", out.c_str(), log.currentText().c_str());
            return 1;
        }
        saving.stop(save);
        total.stop(both);
        sectors = 0;
        for (int c = 0; c < disk->trackCount; ++c) {
            for (int s = 0; s < disk->sideCount; ++s) {
                sectors += std::as_const(*disk).track(s, c).sectorCount;
            }
        }
    }
    std::filesystem::remove(out);
    std::printf("%s: %d sectors, %d runs\n", image.c_str(), sectors, runs);
    load.print("load");
    save.print("save");
    both.print("load+save");
    return 0;
}
