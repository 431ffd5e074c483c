#include "ui/main_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <array>

#include "ui/analysis_window.h"
#include "ui/dialog_units.h"
#include "app/image_commands.h"
#include "drives/drive_discovery.h"
#include "drives/floppy_driver.h"
#include "survey/file_sectors.h"
#include "ui/disk_map.h"
#include "ui/file_dialogs.h"
#include "ui/file_selection.h"

namespace sv::ui {

namespace {

constexpr DialogLayout kMainDialog{"Sectorvane", 272, 315};

// In creation order, which is also the Tab order.
constexpr std::array kMainControls{
    ControlLayout{mainId::exit, ControlKind::PushButton, "Exit", 210, 295, 54, 15},
    ControlLayout{mainId::loadPathBox, ControlKind::EditBox, "", 60, 10, 200, 13},
    ControlLayout{mainId::load, ControlKind::PushButton, "Load", 15, 10, 40, 15},
    ControlLayout{mainId::savePathBox, ControlKind::EditBox, "", 55, 100, 205, 15},
    ControlLayout{mainId::save, ControlKind::PushButton, "Save", 10, 100, 40, 13},
    ControlLayout{mainId::log, ControlKind::LogPane, "", 5, 145, 260, 145},
    ControlLayout{mainId::version, ControlKind::Label, kVersionText, 5, 295, 175, 15},
    ControlLayout{mainId::read, ControlKind::PushButton, "Read", 15, 30, 40, 15},
    ControlLayout{mainId::readCatweasel, ControlKind::PushButton, "Catweasel", 120, 30, 40, 15},
    ControlLayout{mainId::readDriveList, ControlKind::ListBox, "", 60, 30, 56, 15},
    ControlLayout{mainId::mergeImages, ControlKind::PushButton, "Merge Images", 10, 65, 65, 15},
    ControlLayout{1018, ControlKind::GroupBox, "Load Images/Physical Disks", 5, 0, 260, 50},
    ControlLayout{1019, ControlKind::GroupBox, "Merge", 5, 55, 110, 30},
    ControlLayout{1020, ControlKind::GroupBox, "Analyse [Model II Disk]", 125, 55, 140, 30},
    ControlLayout{1021, ControlKind::GroupBox, "Save Images/Physical Disks", 5, 90, 260, 50},
    ControlLayout{mainId::write, ControlKind::PushButton, "Write", 10, 120, 40, 15},
    ControlLayout{mainId::writeDriveList, ControlKind::ListBox, "", 55, 120, 56, 15},
    ControlLayout{mainId::writeCatweasel, ControlKind::PushButton, "Catweasel", 115, 120, 40, 15},
    ControlLayout{mainId::diskDirectory, ControlKind::PushButton, "Disk Directory", 130, 65, 65, 15},
    // Added in the free space: beside Disk Directory, and between the version and Exit.
    ControlLayout{mainId::diskMap, ControlKind::PushButton, "Disk Map", 200, 65, 58, 15},
    ControlLayout{mainId::progress, ControlKind::ProgressBar, "", 60, 297, 145, 11},
};

}  // namespace

MainWindow::MainWindow(Disks& disks, FileDialogProvider& dialogs, FloppyDriver& driver,
                       QWidget* parent)
    : QDialog(parent), disks_(disks), dialogs_(dialogs), driver_(driver) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    buildDialog(*this, kMainDialog, kMainControls);
    log_ = std::make_unique<LogPane>(findControl<QPlainTextEdit>(*this, mainId::log),
                                     "Description");
    log_->setProgressBar(findControl<QProgressBar>(*this, mainId::progress));

    auto onClick = [this](int id, void (MainWindow::*command)()) {
        connect(findControl<QPushButton>(*this, id), &QPushButton::clicked, this, command);
    };
    onClick(mainId::load, &MainWindow::load);
    onClick(mainId::mergeImages, &MainWindow::mergeImages);
    onClick(mainId::save, &MainWindow::save);
    onClick(mainId::read, &MainWindow::read);
    onClick(mainId::diskDirectory, &MainWindow::openDiskDirectory);
    onClick(mainId::diskMap, &MainWindow::openDiskMap);
    connect(findControl<QPushButton>(*this, mainId::exit), &QPushButton::clicked, this,
            [this] { done(0); });
    // Write and the two Catweasel buttons have no action.

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    startUp();
}

MainWindow::~MainWindow() = default;

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QLineEdit* MainWindow::loadPathBox() const {
    return findControl<QLineEdit>(*this, mainId::loadPathBox);
}

QLineEdit* MainWindow::savePathBox() const {
    return findControl<QLineEdit>(*this, mainId::savePathBox);
}

void MainWindow::showControl(int id) { setControlPresent(findControl(*this, id), true); }

void MainWindow::removeControl(int id) { setControlPresent(findControl(*this, id), false); }

void MainWindow::addDriveEntry(int listId, const QString& entry) {
    if (auto* list = findControl<QListWidget>(*this, listId)) {
        list->addItem(entry);
    }
}

void MainWindow::startUp() {
    DriveAvailability found = discoverDrives(driver_, *log_);
    discoverCatweaselCards(*log_, found);
    showDriveAvailability(found);
}

void MainWindow::showDriveAvailability(const DriveAvailability& found) {
    // Write has no action: it stays hidden whatever was found.
    removeControl(mainId::write);
    if (found.driver == DriverState::Ready) {
        showControl(mainId::read);
    } else {
        removeControl(mainId::read);
    }
    // Read always reads drive A, so the drive lists show only with a card.
    const bool card = !found.cards.empty();
    for (const int id : {mainId::readCatweasel, mainId::writeCatweasel, mainId::readDriveList,
                         mainId::writeDriveList}) {
        if (card) {
            showControl(id);
        } else {
            removeControl(id);
        }
    }
    for (const std::string& drive : found.drives) {
        addDriveEntry(mainId::readDriveList, fromPath(drive));
    }
    for (const int list : {mainId::readDriveList, mainId::writeDriveList}) {
        for (const std::string& drive : found.cardDrives) {
            addDriveEntry(list, fromPath(drive));
        }
    }
}

void MainWindow::load() {
    if (!mayReplaceDisk()) {
        return;
    }
    const std::string path = chooseLoadPath(this, dialogs_, {loadPathBox(), savePathBox()});
    if (path.empty()) {
        return;
    }
    {
        OperationScope operation(*log_);
        loadImageByType(path, *disks_.current, *log_);
    }
    disks_.unsaved.loadRan();
    diskChanged();
}

void MainWindow::mergeImages() {
    const std::string path = chooseMergePath(this, dialogs_, {loadPathBox(), savePathBox()});
    MergeCommandOutcome outcome = MergeCommandOutcome::NoTarget;
    {
        OperationScope operation(*log_);
        if (path.empty()) {
            LogEditor(*log_, "Nothing was merged: no file was chosen.");
            return;
        }
        outcome = runMergeCommand(path, *disks_.current, *disks_.mergeSource, *log_, *log_);
    }
    disks_.unsaved.mergeRan(outcome);
    if (outcome == MergeCommandOutcome::Refused &&
        dialogs_.confirm(this, QStringLiteral("Merge Images"),
                         QStringLiteral("The two images look like two different disks: few of "
                                        "the sectors they both hold well are alike.\n\nMerge "
                                        "them all the same?"))) {
        OperationScope operation(*log_);
        disks_.unsaved.mergeRan(
            sv::mergeImages(*disks_.current, *disks_.mergeSource, *log_, DifferentDisks::Merge)
                .merged);
    }
    diskChanged();
}

void MainWindow::save() { (void)saveDisk(); }

bool MainWindow::saveDisk() {
    {
        OperationScope operation(*log_);
        if (!hasDiskToSave(*disks_.current, *log_)) {
            return false;
        }
    }
    const std::string path = chooseSavePath(this, dialogs_, {loadPathBox(), savePathBox()});
    if (path.empty()) {
        return false;
    }
    OperationScope operation(*log_);
    const SaveOutcome outcome = saveImageByType(path, *disks_.current, *log_);
    disks_.unsaved.saveRan(outcome);
    return outcome == SaveOutcome::Saved;
}

void MainWindow::read() {
    if (!mayReplaceDisk()) {
        return;
    }
    {
        OperationScope operation(*log_);
        // Drive A whatever the drive list shows: only drive A is offered for reading.
        (void)runReadCommand("A:", *disks_.current, driver_, *log_);
    }
    disks_.unsaved.readRan();
    diskChanged();
}

bool MainWindow::mayReplaceDisk() {
    QString details;
    switch (disks_.unsaved.work(*disks_.current)) {
    case UnsavedWork::None:
        return true;
    case UnsavedWork::Merge:
        details = QStringLiteral("The disk in memory was merged from two images and is in no file "
                                 "yet. Do you want to save it?");
        break;
    case UnsavedWork::Read:
        details = QStringLiteral("The disk in memory was read from a drive and is in no file yet. "
                                 "Do you want to save it?");
        break;
    }
    switch (dialogs_.askToSave(this, windowTitle(), details)) {
    case SaveChoice::Save:
        return saveDisk();
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Cancel:
        break;
    }
    return false;
}

void MainWindow::done(int result) {
    if (mayReplaceDisk()) {
        QDialog::done(result);
    }
}

void MainWindow::openDiskDirectory() {
    AnalysisWindow analysis(*disks_.current, *log_, dialogs_);
    // With the map open, the file chosen in the list is lit on it.
    connect(&analysis, &AnalysisWindow::fileSelected, this, [this](const AnalysedEntry* entry) {
        if (diskMap_ != nullptr) {
            diskMap_->setHighlight(entry == nullptr ? std::vector<SectorPlace>{}
                                                    : fileSectorPlaces(*disks_.current, *entry));
        }
    });
    analysis.exec();
    if (diskMap_ != nullptr) {
        diskMap_->setHighlight({});
    }
}

void MainWindow::openDiskMap() {
    if (diskMap_ == nullptr) {
        diskMap_ = new DiskMapWindow(*disks_.current, this);
        diskMap_->setAttribute(Qt::WA_DeleteOnClose);
    }
    diskMap_->show();
    diskMap_->raise();
    diskMap_->activateWindow();
}

void MainWindow::diskChanged() {
    if (diskMap_ != nullptr) {
        diskMap_->refresh();
    }
}

}  // namespace sv::ui
