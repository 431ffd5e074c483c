#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>

#include "core/text.h"
#include "drives/drive_discovery.h"
#include "mkdisk/fixture.h"
#include "mkdisk/samples.h"
#include "test_util.h"
#include "ui/dialog_units.h"
#include "ui/main_window.h"
#include "ui/ui_tests.h"

using namespace sv::ui;

namespace {

void click(QWidget& window, int id) {
    QTest::mouseClick(svtest::control<QPushButton>(window, id), Qt::LeftButton);
}

struct Placed {
    int id;
    const char* text;
    int x, y, width, height;
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startUpShowsTheDiscoveryAndLeavesOnlyRead() {
        svtest::WindowRig rig;
        QCOMPARE(rig.window.log().currentText(),
                 std::string("Finding Physical drives \r\nPhysical Drives found\r\n"
                             "Finding Catweasel Card(s)\r\n"
                             "CatWeasel card is not installed, or could not be found."));
        QCOMPARE(svtest::control<QPlainTextEdit>(rig.window, mainId::log)->toPlainText(),
                 QStringLiteral("Finding Physical drives \nPhysical Drives found\n"
                                "Finding Catweasel Card(s)\n"
                                "CatWeasel card is not installed, or could not be found."));
        auto* read = svtest::control<QPushButton>(rig.window, mainId::read);
        QVERIFY(read->isVisibleTo(&rig.window));
        QVERIFY(read->isEnabled());
        for (const int id : {mainId::readCatweasel, mainId::readDriveList, mainId::write,
                             mainId::writeDriveList, mainId::writeCatweasel}) {
            QWidget* removed = svtest::control<QWidget>(rig.window, id);
            QVERIFY2(!removed->isVisibleTo(&rig.window), qPrintable(QString::number(id)));
            QVERIFY(!removed->isEnabled());
        }
        // The drive list was filled before card discovery removed it.
        QCOMPARE(svtest::control<QListWidget>(rig.window, mainId::readDriveList)->count(), 2);
    }

    void aCardShowsItsControlsAndBothListsButNeverWrite() {
        svtest::WindowRig rig;
        sv::DriveAvailability found;
        found.driver = sv::DriverState::OutOfDate;
        found.drives = {"A:", "B:"};
        found.cards.push_back(sv::CatweaselCard{0x0A, 0xE800});
        found.cardDrives = {"A:", "B:"};
        auto* readList = svtest::control<QListWidget>(rig.window, mainId::readDriveList);
        const int before = readList->count();
        rig.window.showDriveAvailability(found);
        QVERIFY(!svtest::control<QWidget>(rig.window, mainId::read)->isVisibleTo(&rig.window));
        QVERIFY(!svtest::control<QWidget>(rig.window, mainId::write)->isVisibleTo(&rig.window));
        for (const int id : {mainId::readCatweasel, mainId::writeCatweasel, mainId::readDriveList,
                             mainId::writeDriveList}) {
            QWidget* shown = svtest::control<QWidget>(rig.window, id);
            QVERIFY2(shown->isVisibleTo(&rig.window), qPrintable(QString::number(id)));
            QVERIFY(shown->isEnabled());
        }
        QCOMPARE(readList->count(), before + 4);
        QCOMPARE(svtest::control<QListWidget>(rig.window, mainId::writeDriveList)->count(), 2);
    }

    void withoutTheDriverReadIsRemovedToo() {
        sv::SimulatedDriveOptions options;
        options.driverPresent = false;
        svtest::WindowRig rig(options);
        const QString text = QString::fromStdString(rig.window.log().currentText());
        QVERIFY(text.startsWith(QStringLiteral(
            "Finding Physical drives \r\nFDRAWREAD.SYS is not installed, or no floppy drive "
            "present.")));
        QVERIFY(!svtest::control<QPushButton>(rig.window, mainId::read)->isVisibleTo(&rig.window));
    }

    void everyControlHasItsCaptionAndPlace() {
        svtest::WindowRig rig;
        MainWindow& window = rig.window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Sectorvane"));
        const BaseUnits units = baseUnits(dialogFont());
        QCOMPARE(window.size(), toPixels(units, 0, 0, 272, 315).size());
        const Placed placed[] = {
            {1006, "Exit", 210, 295, 54, 15},
            {1003, "", 60, 10, 200, 13},
            {1004, "Load", 15, 10, 40, 15},
            {1002, "", 55, 100, 205, 15},
            {1001, "Save", 10, 100, 40, 13},
            {1010, nullptr, 5, 145, 260, 145},
            {1012, "v1.0.15.252", 5, 295, 175, 15},
            {1013, "Read", 15, 30, 40, 15},
            {1014, "Catweasel", 120, 30, 40, 15},
            {1015, nullptr, 60, 30, 56, 15},
            {1017, "Merge Images", 10, 65, 65, 15},
            {1018, "Load Images/Physical Disks", 5, 0, 260, 50},
            {1019, "Merge", 5, 55, 110, 30},
            {1020, "Analyse [Model II Disk]", 125, 55, 140, 30},
            {1021, "Save Images/Physical Disks", 5, 90, 260, 50},
            {1022, "Write", 10, 120, 40, 15},
            {1023, nullptr, 55, 120, 56, 15},
            {1024, "Catweasel", 115, 120, 40, 15},
            {1025, "Disk Directory", 130, 65, 65, 15},
        };
        for (const Placed& p : placed) {
            QWidget* control = findControl(window, p.id);
            QVERIFY2(control != nullptr, qPrintable(QString::number(p.id)));
            QCOMPARE(control->geometry(), toPixels(units, p.x, p.y, p.width, p.height));
            if (p.text == nullptr) {
                continue;
            }
            const QString text = QString::fromUtf8(p.text);
            if (auto* button = qobject_cast<QPushButton*>(control)) {
                QCOMPARE(button->text(), text);
            } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
                QCOMPARE(edit->text(), text);
            } else if (auto* label = qobject_cast<QLabel*>(control)) {
                QCOMPARE(label->text(), text);
            } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
                QCOMPARE(group->title(), text);
            } else {
                QFAIL(qPrintable(QStringLiteral("unexpected kind for %1").arg(p.id)));
            }
        }
        QVERIFY(findControl<QPlainTextEdit>(window, 1010)->isReadOnly());
    }

    void writeAndCatweaselChangeNothing() {
        svtest::WindowRig rig;
        MainWindow& window = rig.window;
        Disks& disks = rig.disks;
        svtest::ScriptedDialogs& dialogs = rig.dialogs;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        disks.current->trackCount = 77;
        const std::string before = window.log().currentText();
        for (const int id : {mainId::write, mainId::readCatweasel, mainId::writeCatweasel}) {
            auto* button = findControl<QPushButton>(window, id);
            // Clicked even when start-up removed the button.
            button->setEnabled(true);
            button->show();
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QCOMPARE(window.log().currentText(), before);
        QCOMPARE(disks.current->trackCount, 77);
        QVERIFY(dialogs.requests.empty());
        QVERIFY(window.isVisible());
    }

    void readReadsDriveAOfTheSimulatedDriveIntoTheCurrentDisk() {
        svtest::WindowRig rig({}, svtest::toDiskImage(mkdisk::model2Disk(1)));
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        // Drive B chosen in the list changes nothing: Read always reads drive A.
        auto* list = svtest::control<QListWidget>(rig.window, mainId::readDriveList);
        list->setCurrentRow(1);
        QTest::mouseClick(svtest::control<QPushButton>(rig.window, mainId::read), Qt::LeftButton);
        const std::string log = rig.window.log().currentText();
        QVERIFY2(log.ends_with("- Physical disk loaded."), log.c_str());
        QCOMPARE(rig.disks.current->trackCount, 77);
        QCOMPARE(rig.disks.current->track(0, 5).sectorCount, 26);
        QCOMPARE(svtest::control<QPlainTextEdit>(rig.window, mainId::log)->toPlainText(),
                 QString::fromStdString(sv::unixLines(log)));
    }

    void exitEndsTheDialog() {
        svtest::WindowRig rig;
        MainWindow& window = rig.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(findControl<QPushButton>(window, mainId::exit), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.result(), 0);
    }

    // A disk read from a drive is in no file: Load, Read, Exit and the close box ask first.
    // Cancel keeps everything as it was; Discard runs the command as if nothing had been asked.
    void aReadDiskIsOfferedForSavingBeforeItIsReplaced() {
        svtest::TempDir dir;
        const std::string garbage = dir.file("garbage.dmk");
        mkdisk::writeFile(garbage, std::vector<std::uint8_t>(100, 0xE5));
        svtest::WindowRig rig({}, svtest::toDiskImage(mkdisk::model2Disk(1)));
        MainWindow& window = rig.window;
        std::vector<QString>& asked = rig.dialogs.saveQuestions;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        click(window, mainId::read);
        QCOMPARE(rig.disks.current->trackCount, 77);
        QVERIFY(asked.empty());

        window.log().show("before");
        click(window, mainId::load);
        click(window, mainId::read);
        click(window, mainId::exit);
        window.close();
        QCOMPARE(asked.size(), std::size_t{4});
        QVERIFY2(asked.back().contains(QStringLiteral("read from a drive")),
                 qPrintable(asked.back()));
        QVERIFY(rig.dialogs.requests.empty());
        QCOMPARE(window.log().currentText(), std::string("before"));
        QVERIFY(window.isVisible());

        rig.dialogs.saveChoice = SaveChoice::Discard;
        click(window, mainId::read);
        QVERIFY(window.log().currentText().ends_with("- Physical disk loaded."));
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(asked.size(), std::size_t{6});

        // A load that fails after Discard leaves no disk, as it always did; then nothing is asked.
        window.show();
        rig.dialogs.answer(QString::fromStdString(garbage));
        click(window, mainId::load);
        QCOMPARE(asked.size(), std::size_t{7});
        QCOMPARE(rig.dialogs.requests.size(), std::size_t{1});
        QVERIFY(sv::isEmpty(*rig.disks.current));
        click(window, mainId::exit);
        QCOMPARE(asked.size(), std::size_t{7});
        QVERIFY(!window.isVisible());
    }

    // A disk loaded from a file is not asked about; a merged one is until a save succeeds, and
    // Save in the question goes on only when the save did.
    void aMergedDiskIsAskedAboutUntilItIsSaved() {
        svtest::TempDir dir;
        const std::string disk = dir.file("disk.dmk");
        mkdisk::writeFile(disk, mkdisk::writeDmk(mkdisk::damagedModel2Disk()));
        svtest::WindowRig rig;
        MainWindow& window = rig.window;
        std::vector<QString>& asked = rig.dialogs.saveQuestions;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int load = 0; load < 2; ++load) {
            rig.dialogs.answer(QString::fromStdString(disk));
            click(window, mainId::load);
        }
        QCOMPARE(rig.disks.current->trackCount, 77);
        rig.dialogs.answer(QString::fromStdString(disk));
        click(window, mainId::mergeImages);
        QVERIFY(window.log().currentText().ends_with(" - Disk Images merged."));
        QVERIFY(asked.empty());

        rig.dialogs.saveChoice = SaveChoice::Save;
        rig.dialogs.answer(QString::fromStdString(dir.file("absent/merged.DMK")));
        click(window, mainId::exit);
        QVERIFY(window.isVisible());
        QVERIFY(asked.back().contains(QStringLiteral("merged from two images")));
        click(window, mainId::exit);  // the save dialog cancelled
        QVERIFY(window.isVisible());
        QCOMPARE(asked.size(), std::size_t{2});

        const std::string saved = dir.file("merged.DMK");
        rig.dialogs.answer(QString::fromStdString(saved));
        click(window, mainId::exit);
        QCOMPARE(asked.size(), std::size_t{3});
        QVERIFY(std::filesystem::exists(saved));
        QVERIFY(!window.isVisible());
        window.show();
        click(window, mainId::exit);
        QCOMPARE(asked.size(), std::size_t{3});
        QVERIFY(!window.isVisible());
    }

    void neitherEscapeNorReturnInAPathBoxClosesTheWindow() {
        svtest::WindowRig rig;
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&rig.window));
        auto* box = svtest::control<QLineEdit>(rig.window, mainId::loadPathBox);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Escape);
        QTest::keyClick(&rig.window, Qt::Key_Escape);
        QVERIFY(rig.window.isVisible());
        QVERIFY(rig.dialogs.requests.empty());
    }

    void focusComesBackWhenTheWindowIsActivatedAgain() {
        svtest::WindowRig rig;
        MainWindow& window = rig.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWidget* saveBox = findControl(window, mainId::savePathBox);
        saveBox->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), saveBox);

        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_COMPARE(QApplication::focusWidget(), saveBox);
    }
};

SV_UI_TEST(MainWindowTest);

#include "main_window_test.moc"
