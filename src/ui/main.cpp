// sectorvane: the desktop program. It takes no arguments and keeps nothing between runs.
#include <QApplication>

#include <memory>

#include "app/floppy_driver_factory.h"
#include "ui/file_dialogs.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    sv::ui::Disks disks;
    sv::ui::QtFileDialogProvider dialogs;
    const std::unique_ptr<sv::FloppyDriver> driver = sv::makeFloppyDriver();
    sv::ui::MainWindow window(disks, dialogs, *driver);
    window.exec();
    return 0;
}
