// sectorvane: the desktop program. It takes no arguments beyond --version and --help and keeps
// nothing between runs.
#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>
#include <memory>

#include "app/floppy_driver_factory.h"
#include "sectorvane_version.h"
#include "ui/file_dialogs.h"
#include "ui/main_window.h"

namespace {

// --version and --help are answered before the QApplication exists, so they work without a
// display. Anything else (Qt's own -platform, -style, ...) is left to QApplication as before.
bool answeredFromCommandLine(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "The desktop window of Sectorvane: load, read, merge, analyse and save TRS-80 Model II "
        "floppy disks.\nThe same operations from a terminal: sectorvane-cli.");
    const QCommandLineOption help(QStringList{"h", "help"}, "Print this help and exit.");
    const QCommandLineOption version("version", "Print the version and exit.");
    parser.addOption(help);
    parser.addOption(version);
    parser.parse(arguments);  // unknown options are Qt's: not an error here
    if (parser.isSet(version)) {
        std::printf("sectorvane %s\n", SECTORVANE_VERSION);
        return true;
    }
    if (parser.isSet(help)) {
        // Without an application object the parser cannot know the program's name.
        const QString text = parser.helpText().replace("<executable_name>", "sectorvane");
        std::printf("%s", text.toLocal8Bit().constData());
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredFromCommandLine(argc, argv)) {
        return 0;
    }
    QApplication app(argc, argv);
    // Lets a Wayland desktop match the window to its installed desktop entry and icon.
    QGuiApplication::setDesktopFileName("org.sectorvane.Sectorvane");
    sv::ui::Disks disks;
    sv::ui::QtFileDialogProvider dialogs;
    const std::unique_ptr<sv::FloppyDriver> driver = sv::makeFloppyDriver();
    sv::ui::MainWindow window(disks, dialogs, *driver);
    window.exec();
    return 0;
}
