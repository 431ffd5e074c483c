// sectorvane-screenshots DISK OUTDIR [WORN]: loads DISK in the main window as a user would, opens
// the analysis window and the file viewer on one of its files, and saves a picture of each window
// (main.png, analysis.png, viewer.png) for the README; given WORN, a damaged disk, also the disk
// map of it and the sector view of its first damaged sector (map.png, sector.png). Run it under a
// display (scripts/screenshots starts Xvfb).
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <memory>

#include "app/floppy_driver_factory.h"
#include "app/image_commands.h"
#include "ui/analysis_window.h"
#include "formats/image_types.h"
#include "ui/dialog_units.h"
#include "ui/disk_map.h"
#include "ui/file_dialogs.h"
#include "ui/file_viewer.h"
#include "ui/main_window.h"

namespace {

// Answers the one Load dialog with the disk.
class OneAnswer : public sv::ui::FileDialogProvider {
public:
    explicit OneAnswer(QString path) : path_(std::move(path)) {}
    sv::ui::FileDialogAnswer choose(QWidget*, const sv::ui::FileDialogRequest&) override {
        return {std::exchange(path_, QString()), 0};
    }
    bool confirm(QWidget*, const QString&, const QString&) override { return false; }
    sv::ui::SaveChoice askToSave(QWidget*, const QString&, const QString&) override {
        return sv::ui::SaveChoice::Discard;
    }

private:
    QString path_;
};

bool save(QWidget& window, const QDir& out, const char* name) {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return false;
    }
    QTest::qWait(300);
    const QString path = out.filePath(QString::fromLatin1(name));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The file to show in the viewer: a BASIC program when there is one, else the first line.
const sv::AnalysedEntry* chooseEntry(const sv::ui::AnalysisWindow& analysis, QListWidget& list) {
    for (int line = 0; line < list.count(); ++line) {
        const sv::AnalysedEntry* entry =
            analysis.entryOfRow(list.item(line)->data(Qt::UserRole).toInt());
        if (entry != nullptr && entry->basicListing) {
            list.setCurrentRow(line);
            return entry;
        }
    }
    if (list.count() == 0) {
        return nullptr;
    }
    list.setCurrentRow(0);
    return analysis.entryOfRow(list.item(0)->data(Qt::UserRole).toInt());
}

// The map of a worn disk, and the sector view of its first damaged sector.
bool saveMapAndSector(const char* worn, const QDir& out) {
    auto disk = sv::makeDiskImage();
    sv::TextSink log;
    if (!sv::loadImageByType(worn, *disk, log)) {
        std::fprintf(stderr, "cannot load %s\n", worn);
        return false;
    }
    sv::ui::DiskMapWindow map(*disk);
    map.resize(760, 700);
    if (!save(map, out, "map.png")) {
        return false;
    }
    for (const sv::TrackSurvey& track : map.survey().tracks) {
        for (std::size_t column = 0; column < track.sectors.size(); ++column) {
            if (sv::isDamaged(track.sectors[column].health)) {
                const QPoint centre =
                    map.view().cellRect(track.cylinder, track.side, static_cast<int>(column)).center();
                QTest::mouseClick(&map.view(), Qt::LeftButton, {}, centre);
                return map.sectorView() != nullptr && save(*map.sectorView(), out, "sector.png");
            }
        }
    }
    std::fprintf(stderr, "%s has no damaged sector\n", worn);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: sectorvane-screenshots DISK OUTDIR [WORN]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    sv::ui::Disks disks;
    OneAnswer dialogs(QString::fromLocal8Bit(argv[1]));
    const std::unique_ptr<sv::FloppyDriver> driver = sv::makeFloppyDriver();
    sv::ui::MainWindow window(disks, dialogs, *driver);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return 1;
    }
    sv::ui::findControl<QPushButton>(window, sv::ui::mainId::load)->click();
    if (!save(window, out, "main.png")) {
        return 1;
    }

    sv::ui::AnalysisWindow analysis(*disks.current, window.log(), dialogs);
    auto* list = sv::ui::findControl<QListWidget>(analysis, sv::ui::analysisId::list);
    const sv::AnalysedEntry* entry = chooseEntry(analysis, *list);
    if (!save(analysis, out, "analysis.png")) {
        return 1;
    }
    sv::ui::FileViewer viewer(entry, dialogs);
    if (!save(viewer, out, "viewer.png")) {
        return 1;
    }
    return argc == 3 || saveMapAndSector(argv[3], out) ? 0 : 1;
}
