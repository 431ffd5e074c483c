// sectorvane: the desktop program. It takes no arguments and keeps nothing between runs.
#include <QApplication>

#include "ui/file_dialogs.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    sv::ui::Disks disks;
    sv::ui::QtFileDialogProvider dialogs;
    sv::ui::MainWindow window(disks, dialogs);
    window.exec();
    return 0;
}
