#include "drives/drive_fixtures.h"

namespace svtest {

std::shared_ptr<sv::DiskImage> diskFromModel(const mkdisk::Disk& model, std::uint16_t trackLength) {
    std::shared_ptr<sv::DiskImage> disk = sv::makeDiskImage();
    disk->trackCount = static_cast<std::uint8_t>(model.cylinders);
    disk->sideCount = static_cast<std::uint8_t>(model.sides);
    disk->trackLength = trackLength;
    for (int c = 0; c < model.cylinders; ++c) {
        for (int h = 0; h < model.sides; ++h) {
            for (const mkdisk::Sector& s : model.at(c, h).sectors) {
                sv::SectorEntry* e = sv::appendSector(*disk, h, c);
                e->cylinder = s.cylinder;
                e->head = s.head;
                e->record = s.record;
                e->sizeCode = s.sizeCode;
                e->singleDensity = s.fm ? 1 : 0;
                e->status = static_cast<std::uint8_t>(
                    (s.mark == 0xF8 ? sv::status::deletedData : (s.mark - 0xF8) & 3) |
                    (s.badDataCrc ? sv::status::dataCrcError : 0) |
                    (s.badIdCrc ? sv::status::idCrcError : 0));
                sv::setSectorData(*e, mkdisk::sectorBytes(s));
            }
        }
    }
    return disk;
}

mkdisk::Disk patternedModel2Disk(int sides, int cylinders) {
    mkdisk::Disk disk = mkdisk::model2Disk(sides, cylinders);
    for (mkdisk::Track& t : disk.tracks) {
        for (mkdisk::Sector& s : t.sectors) {
            s.data.resize(std::size_t{128} << s.sizeCode);
            for (std::size_t i = 0; i < s.data.size(); ++i) {
                s.data[i] = static_cast<std::uint8_t>(s.cylinder * 5 + s.head * 71 + s.record * 3 + i);
            }
        }
    }
    return disk;
}

namespace {

class RecordingDrive : public sv::FloppyDrive {
public:
    RecordingDrive(std::unique_ptr<sv::FloppyDrive> inner, RecordingDriver& owner)
        : inner_(std::move(inner)), owner_(owner) {}

    void seek(std::uint8_t cylinder, std::uint8_t head) override {
        owner_.calls.seeks.push_back(cylinder);
        cylinder_ = cylinder;
        inner_->seek(cylinder, head);
    }
    void setDataRate(std::uint8_t rateCode) override {
        rate_ = rateCode;
        inner_->setDataRate(rateCode);
    }
    sv::TrackScan scanTrack(std::uint8_t flags, std::uint8_t head) override {
        owner_.calls.scans.emplace_back(rate_, flags);
        if (owner_.scanHook) {
            if (auto scan = owner_.scanHook(cylinder_, flags, head)) {
                return *scan;
            }
        }
        return inner_->scanTrack(flags, head);
    }
    sv::ReadResult readSector(const sv::ReadRequest& request,
                              std::span<std::uint8_t> buffer) override {
        owner_.calls.reads.push_back(request);
        owner_.calls.readBufferSizes.push_back(buffer.size());
        if (owner_.readHook) {
            if (auto result = owner_.readHook(request, buffer)) {
                return *result;
            }
        }
        return inner_->readSector(request, buffer);
    }

private:
    std::unique_ptr<sv::FloppyDrive> inner_;
    RecordingDriver& owner_;
    int cylinder_ = 0;
    int rate_ = 0;
};

}  // namespace

std::unique_ptr<sv::FloppyDrive> RecordingDriver::openDrive(int unit) {
    std::unique_ptr<sv::FloppyDrive> inner = inner_.openDrive(unit);
    if (inner == nullptr) {
        return nullptr;
    }
    calls.openedUnit = unit;
    return std::make_unique<RecordingDrive>(std::move(inner), *this);
}

}  // namespace svtest
