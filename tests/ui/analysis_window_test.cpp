#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "analysis/disk_builder.h"
#include "mkdisk/fixture.h"
#include "test_util.h"
#include "ui/analysis_window.h"
#include "ui/file_viewer.h"
#include "ui/ui_tests.h"
#include "ui/viewer_text.h"

using namespace sv::ui;
using svtest::control;

namespace {

// A 64-byte TRSDOS entry at `slot` of a directory record, its file in one extent of granules.
void trsdosEntry(std::vector<std::uint8_t>& dir, int slot, std::string_view name,
                 std::string_view ext, std::uint8_t track, std::uint8_t granules) {
    const std::size_t at = static_cast<std::size_t>(slot) * 64;
    std::fill(dir.begin() + static_cast<long>(at), dir.begin() + static_cast<long>(at + 64), 0);
    svtest::DiskBuilder::put(dir, at + 6, std::string(name) + std::string(8 - name.size(), ' '));
    svtest::DiskBuilder::put(dir, at + 14, std::string(ext) + std::string(3 - ext.size(), ' '));
    std::fill(dir.begin() + static_cast<long>(at + 22), dir.begin() + static_cast<long>(at + 54),
              0xFF);
    dir[at + 22] = track;
    dir[at + 23] = granules;
    dir[at + 20] = 1;  // ends in the first sector
}

// A TRSDOS disk listing ZEBRA/TXT (text) before ALPHA/DAT (binary) in its directory.
std::unique_ptr<svtest::DiskBuilder> twoFileDisk() {
    auto b = std::make_unique<svtest::DiskBuilder>();
    auto& boot = b->sector(0, 0, 2, 0);
    svtest::DiskBuilder::put(boot, 3, "TRSDOS");
    boot[0] = 44;
    boot[1] = 25;
    boot[10] = 0x20;
    auto& dir = b->sector(44, 0, 25);
    std::fill(dir.begin(), dir.end(), 0xFF);
    trsdosEntry(dir, 0, "ZEBRA", "TXT", 10, 0x00);
    trsdosEntry(dir, 1, "ALPHA", "DAT", 12, 0x00);
    for (int r = 1; r <= 26; ++r) {
        auto& text = b->sector(10, 0, r);
        std::fill(text.begin(), text.end(), ' ');
        svtest::DiskBuilder::put(text, 1, "HELLO FROM ZEBRA\r");
        auto& binary = b->sector(12, 0, r);
        for (std::size_t i = 0; i < binary.size(); ++i) {
            binary[i] = static_cast<std::uint8_t>(i);
        }
    }
    return b;
}

// Runs `check` on the next modal window to open, then closes that window.
void onNextModal(std::function<void(QWidget&)> check) {
    QTimer::singleShot(0, [check = std::move(check)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            QFAIL("no modal window opened");
        }
        check(*modal);
        modal->close();
    });
}

QString viewerTextShown(QWidget& viewer) {
    return control<QPlainTextEdit>(viewer, viewerId::text)->toPlainText();
}

// A whole double-click: a list takes a double-click only on the line it saw pressed first.
void doubleClick(QListWidget* list, QPoint at) {
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

void doubleClickLine(QListWidget* list, int line) {
    doubleClick(list, list->visualItemRect(list->item(line)).center());
}

}  // namespace

class AnalysisWindowTest : public QObject {
    Q_OBJECT

private slots:
    void viewerTextRules() {
        QCOMPARE(viewerText(nullptr), std::string("FileView"));
        sv::AnalysedEntry entry;
        entry.listingLine = "A/TXT";
        const std::string text = "ONE\r\nTWO\rTHREE\n";
        entry.fileContent.assign(text.begin(), text.end());
        entry.fileContent.push_back(0x1A);
        entry.fileContent.push_back(0x00);
        QCOMPARE(viewerText(&entry), std::string("A/TXT\n\nONE\nTWO\nTHREE\n"));
        entry.basicListing = "10 PRINT\r\n";
        QCOMPARE(viewerText(&entry), std::string("A/TXT\n\n10 PRINT\n"));

        entry.basicListing.reset();
        entry.fileContent = {0x00, 0x41, 0xFF, 0x10, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47,
                             0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F};
        QVERIFY(!mostlyPrintable(entry.fileContent));
        QCOMPARE(hexDump(entry.fileContent),
                 std::string("000000  00 41 FF 10 42 43 44 45  46 47 48 49 4A 4B 4C 4D  "
                             ".A..BCDEFGHIJKLM\n"
                             "000010  4E 4F                                             NO\n"));
        QVERIFY(!mostlyPrintable({}));
    }

    void showsTheSystemAndTheLinesInListOrderEachWithItsRow() {
        auto disk = twoFileDisk();
        svtest::ScriptedDialogs dialogs;
        sv::TextSink log;
        AnalysisWindow window(disk->disk(), log, dialogs);
        QCOMPARE(window.windowTitle(), QStringLiteral("Analysis of Disk"));
        QVERIFY(control<QLabel>(window, analysisId::diskInfo)->text().contains(
            QStringLiteral("TRSDOS")));
        auto* list = control<QListWidget>(window, analysisId::list);
        QCOMPARE(list->count(), 2);
        QVERIFY(list->item(0)->text().startsWith(QStringLiteral("ALPHA/DAT")));
        QVERIFY(list->item(1)->text().startsWith(QStringLiteral("ZEBRA/TXT")));
        const sv::AnalysedEntry* alpha = window.entryOfRow(list->item(0)->data(Qt::UserRole).toInt());
        QVERIFY(alpha != nullptr);
        QCOMPARE(QString::fromLatin1(alpha->listingLine), list->item(0)->text());
        QVERIFY(list->font().fixedPitch() || QFontInfo(list->font()).fixedPitch());

        QVERIFY(!control<QPushButton>(window, analysisId::addFile)->isEnabled());
        QVERIFY(!control<QWidget>(window, analysisId::addFileBox)->isEnabled());
    }

    void damagedFilesAreMarkedAndTheirSectorsNamed() {
        auto builder = twoFileDisk();
        sv::DiskImage& disk = builder->disk();
        disk.track(0, 10).sectors[2].status |= sv::status::dataCrcError;  // ZEBRA/TXT, record 3
        disk.track(0, 10).sectors[19].status |= sv::status::dataCrcError;  // free space
        svtest::ScriptedDialogs dialogs;
        sv::TextSink log;
        AnalysisWindow window(disk, log, dialogs);
        auto* list = control<QListWidget>(window, analysisId::list);
        QCOMPARE(list->count(), 2);
        const QListWidgetItem* alpha = list->item(0);
        const QListWidgetItem* zebra = list->item(1);
        QCOMPARE(zebra->toolTip(), QStringLiteral("1 damaged sector: T010 H0 S03 CRC"));
        QVERIFY(zebra->background() != alpha->background());
        QVERIFY(alpha->toolTip().isEmpty());
    }

    void notAModelTwoDiskListsNothing() {
        auto empty = sv::makeDiskImage();
        svtest::ScriptedDialogs dialogs;
        sv::TextSink log;
        AnalysisWindow window(*empty, log, dialogs);
        QCOMPARE(control<QLabel>(window, analysisId::diskInfo)->text(),
                 QStringLiteral("Not a Model II Disk"));
        QCOMPARE(control<QListWidget>(window, analysisId::list)->count(), 0);
    }

    void doubleClickOpensTheViewerOnTheLineChosen() {
        auto disk = twoFileDisk();
        svtest::ScriptedDialogs dialogs;
        sv::TextSink log;
        AnalysisWindow window(disk->disk(), log, dialogs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* list = control<QListWidget>(window, analysisId::list);

        QString shown;
        onNextModal([&shown](QWidget& viewer) {
            QCOMPARE(viewer.windowTitle(), QStringLiteral("File Viewer"));
            shown = viewerTextShown(viewer);
        });
        doubleClickLine(list, 1);
        QVERIFY(shown.startsWith(list->item(1)->text() + QStringLiteral("\n\n")));
        QVERIFY(shown.contains(QStringLiteral("HELLO FROM ZEBRA\n")));

        onNextModal([&shown](QWidget& viewer) { shown = viewerTextShown(viewer); });
        doubleClickLine(list, 0);
        QVERIFY(shown.startsWith(list->item(0)->text()));
        QVERIFY(shown.contains(QStringLiteral("000000  00 01 02 03 04 05 06 07  08 09")));
    }

    void aDoubleClickBesideTheLinesShowsFileView() {
        auto empty = sv::makeDiskImage();
        svtest::ScriptedDialogs dialogs;
        sv::TextSink log;
        AnalysisWindow window(*empty, log, dialogs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QString shown;
        bool saveEnabled = true;
        onNextModal([&](QWidget& viewer) {
            shown = viewerTextShown(viewer);
            saveEnabled = control<QPushButton>(viewer, viewerId::saveFile)->isEnabled();
        });
        doubleClick(control<QListWidget>(window, analysisId::list), QPoint(20, 20));
        QCOMPARE(shown, QStringLiteral("FileView"));
        QVERIFY(!saveEnabled);
    }

    void saveFileWritesTheBytesOrTheListing() {
        sv::AnalysedEntry entry;
        entry.row = 3;
        entry.listingLine = "PROG/BAS";
        entry.fileContent = {0xFF, 0x01, 0x02};
        entry.basicListing = "10 END\r\n";
        svtest::TempDir dir;
        svtest::ScriptedDialogs dialogs;
        FileViewer viewer(&entry, dialogs);
        dialogs.answer(QString::fromStdString(dir.file("prog.bin")), 0);
        dialogs.answer(QString::fromStdString(dir.file("prog.txt")), 1);
        QTest::mouseClick(control<QPushButton>(viewer, viewerId::saveFile), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>(viewer, viewerId::saveFile), Qt::LeftButton);
        QCOMPARE(dialogs.requests.size(), std::size_t{2});
        QCOMPARE(dialogs.requests[0].mode, FileDialogRequest::Mode::Save);
        QCOMPARE(dialogs.requests[0].filters.size(), 2);
        QCOMPARE(svtest::readFile(dir.file("prog.bin")), entry.fileContent);
        QCOMPARE(svtest::readFile(dir.file("prog.txt")),
                 (std::vector<std::uint8_t>{'1', '0', ' ', 'E', 'N', 'D', '\r', '\n'}));
        QVERIFY(control<QLabel>(viewer, viewerId::saveResult)->text().startsWith(
            QStringLiteral("Saved to ")));

        // A folder that does not exist: nothing written, and the viewer says so and why.
        dialogs.answer(QString::fromStdString(dir.file("missing/prog.bin")), 0);
        QTest::mouseClick(control<QPushButton>(viewer, viewerId::saveFile), Qt::LeftButton);
        QVERIFY(control<QLabel>(viewer, viewerId::saveResult)->text().endsWith(
            QStringLiteral("could not be written.\nCause: No such file or directory.")));
    }

    void diskDirectoryOpensTheAnalysisOfTheCurrentDisk() {
        auto disk = twoFileDisk();
        svtest::WindowRig rig;
        *rig.disks.current = disk->disk();
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        int lines = -1;
        onNextModal([&lines](QWidget& analysis) {
            QCOMPARE(analysis.windowTitle(), QStringLiteral("Analysis of Disk"));
            lines = control<QListWidget>(analysis, analysisId::list)->count();
        });
        QTest::mouseClick(control<QPushButton>(rig.window, mainId::diskDirectory), Qt::LeftButton);
        QCOMPARE(lines, 2);
    }

    void aRealTrsdosDiskLoadedAndListedThroughTheWindow() {
        const std::filesystem::path real = svtest::realDisksDir() / "imd" / "m2-trsdos-2.0a.imd";
        if (svtest::realDisksDir().empty() || !std::filesystem::exists(real)) {
            QSKIP("the real-disk folder (../shared/realdisks) is not here");
        }
        // A copy: loading an IMD writes its side log beside the image.
        svtest::TempDir dir;
        const std::string path = dir.file("m2-trsdos-2.0a.imd");
        std::filesystem::copy_file(real, path);
        svtest::WindowRig rig;
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        rig.dialogs.answer(QString::fromStdString(path));
        QTest::mouseClick(control<QPushButton>(rig.window, mainId::load), Qt::LeftButton);
        QVERIFY(rig.window.log().currentText().ends_with(" - IMD image loaded."));

        QString info;
        QStringList lines;
        onNextModal([&](QWidget& analysis) {
            info = control<QLabel>(analysis, analysisId::diskInfo)->text();
            auto* list = control<QListWidget>(analysis, analysisId::list);
            for (int i = 0; i < list->count(); ++i) {
                lines << list->item(i)->text();
            }
        });
        QTest::mouseClick(control<QPushButton>(rig.window, mainId::diskDirectory), Qt::LeftButton);
        QVERIFY2(info.startsWith(QStringLiteral("Model II TRSDOS 2.0 Disk")), qPrintable(info));
        QCOMPARE(lines.size(), 12);
        QVERIFY(lines.front().startsWith(QStringLiteral("BACKUP ")));
        QVERIFY(lines.back().startsWith(QStringLiteral("XFERSYS ")));
    }
};

SV_UI_TEST(AnalysisWindowTest);

#include "analysis_window_test.moc"
