// mkdisk SAMPLE OUT: builds a sample disk and writes it in the container OUT's extension names.
#include <cctype>
#include <cstdio>
#include <exception>
#include <string>

#include "mkdisk/samples.h"

namespace {

std::string lowerExtension(const std::string& path) {
    const auto dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

int usage() {
    std::fprintf(stderr, "usage: mkdisk SAMPLE OUT.{dmk,imd,td0,dsk,img,hfe,scp}\nsamples:\n");
    for (const auto& s : mkdisk::samples()) {
        std::fprintf(stderr, "  %-20.*s %.*s\n", static_cast<int>(s.name.size()), s.name.data(),
                     static_cast<int>(s.description.size()), s.description.data());
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return usage();
    }
    const mkdisk::Sample* sample = mkdisk::findSample(argv[1]);
    if (sample == nullptr) {
        return usage();
    }
    const std::string out = argv[2];
    const std::string ext = lowerExtension(out);
    try {
        const mkdisk::Disk disk = sample->build();
        if (ext == "dmk") {
            mkdisk::writeFile(out, mkdisk::writeDmk(disk));
        } else if (ext == "imd") {
            mkdisk::writeFile(out, mkdisk::writeImd(disk));
        } else if (ext == "td0") {
            mkdisk::writeFile(out, mkdisk::writeTd0(disk));
        } else if (ext == "dsk") {
            mkdisk::writeFile(out, mkdisk::writeDsk(disk));
        } else if (ext == "img") {
            mkdisk::writeFile(out, mkdisk::writeRaw(disk));
        } else if (ext == "hfe") {
            mkdisk::writeFile(out, mkdisk::writeHfe(disk));
        } else if (ext == "scp") {
            mkdisk::writeFile(out, mkdisk::writeScp(disk));
        } else {
            return usage();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
