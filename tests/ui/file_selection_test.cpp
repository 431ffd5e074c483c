#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "mkdisk/fixture.h"
#include "mkdisk/samples.h"
#include "test_util.h"
#include "ui/file_selection.h"
#include "ui/ui_tests.h"

using namespace sv::ui;
using svtest::control;

namespace {

QString descriptions(const FileDialogRequest& request) {
    QStringList list;
    for (const DialogFilter& filter : request.filters) {
        list << filter.description;
    }
    return list.join(QLatin1Char('|'));
}

void click(QWidget& window, int id) {
    QTest::mouseClick(control<QPushButton>(window, id), Qt::LeftButton);
}

QString text(QWidget& window, int id) { return control<QLineEdit>(window, id)->text(); }

std::string writeDamagedDmk(const svtest::TempDir& dir, const std::string& name) {
    const std::string path = dir.file(name);
    mkdisk::writeFile(path, mkdisk::writeDmk(mkdisk::damagedModel2Disk()));
    return path;
}

}  // namespace

class FileSelectionTest : public QObject {
    Q_OBJECT

private slots:
    void theDialogPatternsMatchWhateverTheLetterCase() {
        QCOMPARE(matchingPattern(QStringLiteral("*.DMK")), QStringLiteral("*.[Dd][Mm][Kk]"));
        QCOMPARE(matchingPattern(QStringLiteral("*.TD0")), QStringLiteral("*.[Tt][Dd]0"));
        QCOMPARE(matchingPattern(QStringLiteral("*.*")), QStringLiteral("*"));
        QCOMPARE(nameFilter({QStringLiteral("DMK Files (*.DMK)"), QStringLiteral("*.DMK")}),
                 QStringLiteral("DMK Files (*.DMK) (*.[Dd][Mm][Kk])"));
    }

    void qtsDialogShowsTheDescriptionsAndListsEveryLetterCase() {
        svtest::TempDir dir;
        for (const char* name : {"a.dmk", "b.DMK", "c.Dmk", "d.imd", "noext"}) {
            mkdisk::writeFile(dir.file(name), {});
        }
        FileDialogRequest request = loadDialogRequest("Load an image file",
                                                      QString::fromStdString(dir.file("b.DMK")));
        QStringList filters;
        QStringList files;
        // Looks at the dialog once its folder is listed, then picks the last filter and a file.
        // Accepting is retried until the dialog closes: on a loaded machine the dialog may not
        // have resolved the chosen name yet, and a refused accept would otherwise wait for ever.
        QTimer poll;
        int tries = 0;
        bool inspected = false;
        connect(&poll, &QTimer::timeout, this, [&] {
            QFileDialog* dialog = nullptr;
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (auto* found = qobject_cast<QFileDialog*>(top); found && found->isVisible()) {
                    dialog = found;
                }
            }
            if (dialog == nullptr) {
                return;
            }
            ++tries;
            if (!inspected) {
                auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
                const int rows = view != nullptr ? view->model()->rowCount(view->rootIndex()) : 0;
                if (rows < 3 && tries < 100) {
                    return;
                }
                auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                for (int i = 0; types != nullptr && i < types->count(); ++i) {
                    filters << types->itemText(i);
                }
                for (int i = 0; i < rows; ++i) {
                    files << view->model()->index(i, 0, view->rootIndex()).data().toString();
                }
                dialog->selectNameFilter(dialog->nameFilters().back());
                inspected = true;
            }
            dialog->selectFile(QString::fromStdString(dir.file("c.Dmk")));
            if (tries > 400) {
                static_cast<QDialog*>(dialog)->reject();  // never hang the suite; the checks below fail
                return;
            }
            static_cast<QDialog*>(dialog)->accept();
        });
        poll.start(50);
        QtFileDialogProvider provider;
        const FileDialogAnswer answer = provider.choose(nullptr, request);
        poll.stop();
        QCOMPARE(filters.size(), 7);
        QCOMPARE(filters.front(), QStringLiteral("DMK Files (*.DMK)"));
        QCOMPARE(filters.back(), QStringLiteral("All Files (*.*)"));
        files.sort();
        QCOMPARE(files, QStringList({"a.dmk", "b.DMK", "c.Dmk"}));
        QCOMPARE(answer.path, QString::fromStdString(dir.file("c.Dmk")));
        QCOMPARE(answer.filterIndex, 6);  // "All Files", chosen last
    }

    // The desktop's own question: its wording and buttons, and each button's answer (Escape
    // cancels).
    void qtsUnsavedDiskQuestionAnswersWithTheButtonPressed() {
        QtFileDialogProvider provider;
        QStringList seen;
        const auto answerWith = [&](const std::function<void(QMessageBox&)>& press) {
            QTimer poll;
            int tries = 0;
            QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (box == nullptr) {
                    if (++tries > 400) {
                        poll.stop();  // never hang the suite; the comparisons below fail
                    }
                    return;
                }
                poll.stop();
                seen << box->text() + QLatin1Char('|') + box->informativeText() +
                            QLatin1Char('|') + QString::number(box->standardButtons()) +
                            QLatin1Char('|') + QString::number(box->defaultButton() ==
                                                               box->button(QMessageBox::Save));
                press(*box);
            });
            poll.start(20);
            return provider.askToSave(nullptr, QStringLiteral("Sectorvane"),
                                      QStringLiteral("Merged."));
        };
        const auto click = [](QMessageBox::StandardButton which) {
            return [which](QMessageBox& box) { box.button(which)->click(); };
        };
        QCOMPARE(answerWith(click(QMessageBox::Save)), SaveChoice::Save);
        QCOMPARE(answerWith(click(QMessageBox::Discard)), SaveChoice::Discard);
        QCOMPARE(answerWith(click(QMessageBox::Cancel)), SaveChoice::Cancel);
        QCOMPARE(answerWith([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }),
                 SaveChoice::Cancel);
        QCOMPARE(seen.size(), 4);
        QCOMPARE(seen.front(),
                 QStringLiteral("The disk has not been saved.|Merged.|%1|1")
                     .arg(int(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel)));
    }

    void theLoadDialogStartsFromTheLoadBox() {
        const FileDialogRequest empty = loadDialogRequest("Load an image file", QString());
        QCOMPARE(empty.mode, FileDialogRequest::Mode::Open);
        QCOMPARE(empty.title, QStringLiteral("Load an image file"));
        QVERIFY(empty.folder.isEmpty());
        QVERIFY(empty.fileName.isEmpty());
        QCOMPARE(descriptions(empty),
                 QStringLiteral("All Files (*.*)|DMK Files (*.DMK)|IMD Files (*.IMD)|"
                                "TD0 Files (*.TD0)|DSK Files (*.DSK)|HFE Files (*.HFE)|"
                                "SCP Files (*.SCP)"));
        QVERIFY(empty.defaultSuffix.isEmpty());

        const FileDialogRequest imd =
            loadDialogRequest("Merge an image file", QStringLiteral("/disks/old/cpm.imd"));
        QCOMPARE(imd.title, QStringLiteral("Merge an image file"));
        QCOMPARE(imd.folder, QStringLiteral("/disks/old"));
        QCOMPARE(imd.filters.front().pattern, QStringLiteral("*.IMD"));
        QCOMPARE(imd.defaultSuffix, QStringLiteral("IMD"));
    }

    void theSaveDialogProposesTheSaveBoxName() {
        const FileDialogRequest save = saveDialogRequest(QStringLiteral("/d/a - Copy.DMK"));
        QCOMPARE(save.mode, FileDialogRequest::Mode::Save);
        QCOMPARE(save.title, QStringLiteral("Save an image file"));
        QVERIFY(save.folder.isEmpty());
        QCOMPARE(save.fileName, QStringLiteral("/d/a - Copy.DMK"));
        QCOMPARE(descriptions(save),
                 QStringLiteral("DMK Files (*.DMK)|DSK Files (*.DSK)|IMD Files (*.IMD)|HFE Files (*.HFE)|"
                                "All Files (*.*)"));
        QCOMPARE(save.defaultSuffix, QStringLiteral("DMK"));
    }

    void loadFillsTheLogAndBothPathBoxes() {
        svtest::TempDir dir;
        const std::string path = writeDamagedDmk(dir, "trsdos.Dmk");
        svtest::WindowRig rig;
        rig.dialogs.answer(QString::fromStdString(path));
        click(rig.window, mainId::load);

        QCOMPARE(rig.dialogs.requests.size(), std::size_t{1});
        QCOMPARE(rig.dialogs.requests[0].title, QStringLiteral("Load an image file"));
        QCOMPARE(text(rig.window, mainId::loadPathBox), QString::fromStdString(path));
        QCOMPARE(text(rig.window, mainId::savePathBox),
                 QString::fromStdString(dir.file("trsdos - Copy.DMK")));
        const std::string log = rig.window.log().currentText();
        QVERIFY(log.starts_with("Loading DMK Image: " + path));
        QCOMPARE(rig.disks.current->trackCount, 77);
        QVERIFY(log.find(" CRC\r\n") != std::string::npos);
        QVERIFY(log.ends_with(" - DMK image loaded."));

        // The next dialog opens where the file was and lists DMK first.
        rig.dialogs.answer({});
        click(rig.window, mainId::load);
        QCOMPARE(rig.dialogs.requests[1].folder, QString::fromStdString(dir.path().string()));
        QCOMPARE(rig.dialogs.requests[1].filters.front().pattern, QStringLiteral("*.DMK"));
    }

    void mergeReadsTheChosenFileAndMergesItIntoTheCurrentDisk() {
        svtest::TempDir dir;
        const std::string damaged = writeDamagedDmk(dir, "damaged.dmk");
        const std::string clean = dir.file("clean.dmk");
        mkdisk::writeFile(clean, mkdisk::writeDmk(mkdisk::model2Disk(1)));
        svtest::WindowRig rig;
        rig.dialogs.answer(QString::fromStdString(damaged));
        rig.dialogs.answer(QString::fromStdString(clean));
        click(rig.window, mainId::load);
        click(rig.window, mainId::mergeImages);

        QCOMPARE(rig.dialogs.requests[1].title, QStringLiteral("Merge an image file"));
        QCOMPARE(rig.dialogs.requests[1].folder, QString::fromStdString(dir.path().string()));
        // The boxes keep the loaded file's names.
        QCOMPARE(text(rig.window, mainId::loadPathBox), QString::fromStdString(damaged));
        QCOMPARE(text(rig.window, mainId::savePathBox),
                 QString::fromStdString(dir.file("damaged - Copy.DMK")));
        const std::string log = rig.window.log().currentText();
        QVERIFY2(log.ends_with(" - Disk Images merged."), log.c_str());
        QCOMPARE(rig.disks.mergeSource->trackCount, 77);
    }

    void aCancelledMergeMergesNothingAndSaysSo() {
        svtest::TempDir dir;
        const std::string damaged = writeDamagedDmk(dir, "damaged.dmk");
        svtest::WindowRig rig;
        rig.dialogs.answer(QString::fromStdString(damaged));
        click(rig.window, mainId::load);
        const auto before = std::make_unique<sv::DiskImage>(*rig.disks.current);
        click(rig.window, mainId::mergeImages);
        QCOMPARE(rig.window.log().currentText(),
                 std::string("Nothing was merged: no file was chosen."));
        QVERIFY(std::memcmp(before.get(), rig.disks.current.get(), sizeof(sv::DiskImage)) == 0);
    }

    void aSecondLoadReplacesTheLog() {
        svtest::TempDir dir;
        const std::string first = writeDamagedDmk(dir, "first.dmk");
        const std::string second = writeDamagedDmk(dir, "second.dmk");
        svtest::WindowRig rig;
        rig.dialogs.answer(QString::fromStdString(first));
        rig.dialogs.answer(QString::fromStdString(second));
        click(rig.window, mainId::load);
        click(rig.window, mainId::load);
        const std::string log = rig.window.log().currentText();
        QVERIFY(log.starts_with("Loading DMK Image: " + second));
        QVERIFY(log.find(first) == std::string::npos);
        QVERIFY(log.find("Finding Physical drives") == std::string::npos);
    }

    void aCancelledDialogChangesNothing() {
        svtest::WindowRig rig;
        control<QLineEdit>(rig.window, mainId::loadPathBox)->setText(QStringLiteral("/x/a.dmk"));
        control<QLineEdit>(rig.window, mainId::savePathBox)->setText(QStringLiteral("/x/b.DMK"));
        rig.disks.current->trackCount = 77;
        const std::string log = rig.window.log().currentText();
        click(rig.window, mainId::load);
        click(rig.window, mainId::save);
        QCOMPARE(rig.dialogs.requests.size(), std::size_t{2});
        QCOMPARE(rig.window.log().currentText(), log);
        QCOMPARE(text(rig.window, mainId::loadPathBox), QStringLiteral("/x/a.dmk"));
        QCOMPARE(text(rig.window, mainId::savePathBox), QStringLiteral("/x/b.DMK"));
        QCOMPARE(rig.disks.current->trackCount, 77);
    }

    void aFileOfNoKnownTypeLeavesNoDisk() {
        svtest::TempDir dir;
        // Neither the name nor the content names a type: a disk renamed this way now loads by
        // its content, so the file holds no disk at all.
        const std::string path = dir.file("x.dmk2");
        {
            std::ofstream out(path, std::ios::binary);
            out << "not a disk image, only a short note\n";
        }
        svtest::WindowRig rig;
        rig.disks.current->trackCount = 77;
        rig.dialogs.answer(QString::fromStdString(path));
        click(rig.window, mainId::load);
        QCOMPARE(rig.disks.current->trackCount, 0);
        QCOMPARE(text(rig.window, mainId::savePathBox),
                 QString::fromStdString(dir.file("x.dDMK")));
        QVERIFY(rig.window.log().currentText().find("not a known image type") !=
                std::string::npos);
    }

    void saveWritesTheTypeTheNameGives() {
        svtest::TempDir dir;
        svtest::WindowRig rig;
        const auto disk = svtest::toDiskImage(mkdisk::model2Disk(1));
        *rig.disks.current = *disk;
        const std::string out = dir.file("out.DSK");
        // The DMK filter is selected, the typed name decides.
        rig.dialogs.answer(QString::fromStdString(out), 0);
        click(rig.window, mainId::save);
        QCOMPARE(text(rig.window, mainId::savePathBox), QString::fromStdString(out));
        QVERIFY(rig.window.log().currentText().starts_with("Saving DSK Image: " + out));
        QVERIFY(std::filesystem::file_size(out) > 2901 * 3);
    }

    void saveAfterLoadWritesACopyBesideTheLoadedFile() {
        svtest::TempDir dir;
        const std::string loaded = writeDamagedDmk(dir, "disk.dmk");
        svtest::WindowRig rig;
        rig.dialogs.answer(QString::fromStdString(loaded));
        click(rig.window, mainId::load);
        // The save dialog proposes the copy's name; the user accepts it.
        rig.dialogs.answer(text(rig.window, mainId::savePathBox));
        click(rig.window, mainId::save);
        QCOMPARE(rig.dialogs.requests[1].fileName,
                 QString::fromStdString(dir.file("disk - Copy.DMK")));
        const std::string copy = dir.file("disk - Copy.DMK");
        QVERIFY(rig.window.log().currentText().starts_with("Saving DMK Image: " + copy));
        QVERIFY(rig.window.log().currentText().ends_with(" - DMK image saved."));
        QVERIFY(std::filesystem::exists(copy));

        // The copy loads back as the same disk.
        const auto original = std::make_unique<sv::DiskImage>(*rig.disks.current);
        rig.dialogs.answer(QString::fromStdString(copy));
        click(rig.window, mainId::load);
        QCOMPARE(rig.disks.current->trackCount, original->trackCount);
        for (int cylinder = 0; cylinder < original->trackCount; ++cylinder) {
            const sv::TrackRecord& a = original->track(0, cylinder);
            const sv::TrackRecord& b = rig.disks.current->track(0, cylinder);
            QCOMPARE(b.sectorCount, a.sectorCount);
            for (int slot = 0; slot < a.sectorCount; ++slot) {
                QCOMPARE(b.sectors[slot].record, a.sectors[slot].record);
                QVERIFY(b.sectors[slot].data == a.sectors[slot].data);
            }
        }
    }

    // One rule with the CLI: every loaded disk saves; with none loaded, no dialog opens and one
    // line says why.
    void saveOfADiskWithOneTrackWritesItAndOfNoDiskSaysSo() {
        svtest::TempDir dir;
        svtest::WindowRig rig;
        control<QLineEdit>(rig.window, mainId::savePathBox)->setText(QStringLiteral("kept.DMK"));
        click(rig.window, mainId::save);
        QVERIFY(rig.dialogs.requests.empty());
        QCOMPARE(rig.window.log().currentText(),
                 std::string("Nothing to save: no disk is loaded."));
        QCOMPARE(text(rig.window, mainId::savePathBox), QStringLiteral("kept.DMK"));

        const auto disk = svtest::toDiskImage(mkdisk::model2Disk(1));
        *rig.disks.current = *disk;
        rig.disks.current->trackCount = 1;
        const std::string out = dir.file("one.DMK");
        rig.dialogs.answer(QString::fromStdString(out));
        click(rig.window, mainId::save);
        QCOMPARE(text(rig.window, mainId::savePathBox), QString::fromStdString(out));
        QVERIFY(std::filesystem::exists(out));
        QVERIFY(rig.window.log().currentText().ends_with(" - DMK image saved."));
    }

    void saveToAnUnknownTypeKeepsTheDisk() {
        svtest::TempDir dir;
        svtest::WindowRig rig;
        rig.disks.current->trackCount = 77;
        const std::string out = dir.file("out.xyz");
        rig.dialogs.answer(QString::fromStdString(out));
        click(rig.window, mainId::save);
        QCOMPARE(rig.disks.current->trackCount, 77);
        QVERIFY(!std::filesystem::exists(out));
        QVERIFY(rig.window.log().currentText().find("was not saved") != std::string::npos);
    }
};

SV_UI_TEST(FileSelectionTest);

#include "file_selection_test.moc"
