#pragma once

#include <QDialog>
#include <QPointer>

#include <memory>
#include <string>

#include "app/unsaved_disk.h"
#include "core/disk_image.h"
#include "ui/disk_map.h"
#include "ui/log_pane.h"

class QLineEdit;
class QPlainTextEdit;

namespace sv::ui {

class FileDialogProvider;
}  // namespace sv::ui

namespace sv {
class FloppyDriver;
struct DriveAvailability;
}  // namespace sv

namespace sv::ui {

// The main window's control ids.
namespace mainId {
inline constexpr int save = 1001;
inline constexpr int savePathBox = 1002;
inline constexpr int loadPathBox = 1003;
inline constexpr int load = 1004;
inline constexpr int exit = 1006;
inline constexpr int log = 1010;
inline constexpr int version = 1012;
inline constexpr int read = 1013;
inline constexpr int readCatweasel = 1014;
inline constexpr int readDriveList = 1015;
inline constexpr int mergeImages = 1017;
inline constexpr int write = 1022;
inline constexpr int writeDriveList = 1023;
inline constexpr int writeCatweasel = 1024;
inline constexpr int diskDirectory = 1025;
inline constexpr int diskMap = 1040;
inline constexpr int progress = 1041;
}  // namespace mainId

inline constexpr const char* kVersionText = "v1.0.15.252";

// The two disks of a run: the one the commands work on and the source of a merge, and whether
// the current one holds work that is in no file.
struct Disks {
    DiskImagePtr current = makeDiskImage();
    DiskImagePtr mergeSource = makeDiskImage();
    UnsavedDisk unsaved;
};

// The program's one window. Every command runs to its end inside its button's handler, with
// the window ignoring the user meanwhile; the commands report only through the log pane.
class MainWindow : public QDialog {
    Q_OBJECT

public:
    // The window runs the drive and card discovery as it is created.
    MainWindow(Disks& disks, FileDialogProvider& dialogs, FloppyDriver& driver,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    [[nodiscard]] LogPane& log() { return *log_; }
    [[nodiscard]] Disks& disks() { return disks_; }
    // The disk map, while it is open.
    [[nodiscard]] DiskMapWindow* diskMap() const { return diskMap_; }

    // Shows and enables, or disables and hides, a control of this window.
    void showControl(int id);
    void removeControl(int id);
    void addDriveEntry(int listId, const QString& entry);
    // The physical-drive controls for what the start-up discovery found.
    void showDriveAvailability(const DriveAvailability& found);

    // Exit and the close box end the window here. A disk that is in no file is offered for
    // saving first, and Cancel keeps the window open.
    void done(int result) override;

protected:
    // Escape does not close the window (and lose the disk in memory); Exit and the close box do.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void startUp();
    void load();
    void mergeImages();
    void save();
    // The Save command; true when the disk was written.
    bool saveDisk();
    void read();
    // Before a command replaces the disk: true when nothing would be lost, or the user saved the
    // disk or chose to discard it; false when the user cancelled or the save did not succeed.
    bool mayReplaceDisk();
    void openDiskDirectory();
    void openDiskMap();
    // The disk changed: an open map shows it anew.
    void diskChanged();

    [[nodiscard]] QLineEdit* loadPathBox() const;
    [[nodiscard]] QLineEdit* savePathBox() const;

    Disks& disks_;
    FileDialogProvider& dialogs_;
    FloppyDriver& driver_;
    std::unique_ptr<LogPane> log_;
    QPointer<DiskMapWindow> diskMap_;
};

}  // namespace sv::ui
