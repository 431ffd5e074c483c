#include "mkdisk/samples.h"

#include <array>

#include "mkdisk/model2_systems.h"
#include "mkdisk/cpm_samples.h"

namespace mkdisk {

namespace {

Disk blankSingleSided() { return model2Disk(1); }
Disk blankDoubleSided() { return model2Disk(2); }

void fillPattern(Disk& disk) {
    for (Track& t : disk.tracks) {
        for (Sector& s : t.sectors) {
            s.data.resize(std::size_t{128} << s.sizeCode);
            for (std::size_t i = 0; i < s.data.size(); ++i) {
                s.data[i] = static_cast<std::uint8_t>(s.cylinder * 7 + s.head * 13 + s.record * 3 + i);
            }
        }
    }
}

const std::array kSamples{
    Sample{"blank-ss", "Model II geometry, one side, 77 cylinders, empty sectors", blankSingleSided},
    Sample{"blank-ds", "Model II geometry, two sides, 77 cylinders, empty sectors", blankDoubleSided},
    Sample{"damaged", "Model II geometry with CRC errors, a deleted sector, a duplicate record and a weak sector",
           damagedModel2Disk},
    Sample{"trsdos", "Model II TRSDOS 2.0: BASIC in both forms, DOCUMENT/CTL, multi-extent files",
           trsdosSampleDisk},
    Sample{"trsdos-damaged",
           "The TRSDOS sample as a worn disk: CRC errors in two files, a bad ID, a deleted "
           "sector, an ID without data, a missing record",
           damagedTrsdosDisk},
    Sample{"hsds", "Racet HSDS on Model II TRSDOS: the TRSDOS sample with the HSDS mark",
           hsdsSampleDisk},
    Sample{"lsdos", "Model II LS-DOS 6.3, two sides: files crossing to side 1", lsdosSampleDisk},
    Sample{"dosplus", "Model II Dosplus II vA.00: files crossing tracks", dosplusSampleDisk},
    Sample{"trsdos16", "Model II/16 TRSDOS 4.2, two sides: root and sub-directories",
           trsdos16SampleDisk},
    Sample{"fmg-cpm", "FMG CP/M: extents 0, 1 and 3, an erased entry, a type with its attribute bit",
           fmgSample},
    Sample{"pt-cpm", "Pickles & Trout CP/M (signature in the boot sector), a file in block 298",
           picklesTroutSample},
    Sample{"pt-cpm-biosmods", "Pickles & Trout CP/M recognised by its BIOSMODS.PNT signature",
           picklesTroutBiosmodsSample},
    Sample{"pt-cpm-corvus", "Pickles & Trout CP/M recognised by its Corvus signature",
           picklesTroutCorvusSample},
    Sample{"lifeboat-cpm", "Lifeboat CP/M, 8 x 1024 sectors with skew 3", lifeboatSample},
    Sample{"aton-cpm-ss", "ATON CP/M, one side", atonSingleSample},
    Sample{"aton-cpm-ds", "ATON CP/M, two sides: logical tracks alternate sides", atonDoubleSample},
    Sample{"ucsd", "UCSD Pascal volume WORK with three files", ucsdSample},
    Sample{"xenix-tar", "Xenix tar disk: a directory, files of 1025, 1024 and 17 bytes",
           xenixTarSample},
};

}  // namespace

Disk damagedModel2Disk() {
    Disk disk = model2Disk(1);
    fillPattern(disk);
    disk.find(0, 0, 3)->fmSingleBytes = true;
    disk.find(2, 0, 5)->badDataCrc = true;
    disk.find(2, 0, 6)->badIdCrc = true;
    disk.find(3, 0, 1)->badIdCrc = true;
    disk.find(3, 0, 1)->badDataCrc = true;
    disk.find(4, 0, 9)->mark = 0xF8;
    disk.find(6, 0, 3)->weakGoodRevolution = 1;
    Sector duplicate = *disk.find(5, 0, 7);
    duplicate.data.assign(256, 0x42);
    disk.at(5, 0).sectors.push_back(duplicate);
    return disk;
}

Disk damagedTrsdosDisk() {
    Disk disk = trsdosSampleDisk();
    disk.find(12, 0, 3)->badDataCrc = true;   // inside PAYROLL/BAS
    disk.find(20, 0, 5)->badDataCrc = true;   // inside LEDGER/DAT
    disk.find(20, 0, 6)->badIdCrc = true;
    disk.find(40, 0, 2)->mark = 0xF8;
    disk.find(50, 0, 10)->noDataField = true;
    auto& sectors = disk.at(60, 0).sectors;
    sectors.erase(sectors.begin() + 7);       // record 8 never found
    return disk;
}

std::span<const Sample> samples() { return kSamples; }

const Sample* findSample(std::string_view name) {
    for (const Sample& s : kSamples) {
        if (s.name == name) {
            return &s;
        }
    }
    return nullptr;
}

}  // namespace mkdisk
