#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <string>

#include "mkdisk/fixture.h"
#include "mkdisk/samples.h"
#include "test_util.h"
#include "ui/disk_map.h"
#include "ui/ui_tests.h"

using namespace sv::ui;
using svtest::control;

namespace {

// Where a record of a track sits in the map's row: the samples lay records out in order.
QPoint centreOf(DiskMapView& view, int cylinder, int record) {
    return view.cellRect(cylinder, 0, record - 1).center();
}

// The map of the worn TRSDOS sample, shown at a size its cells are clear at; nullptr when the
// window never showed.
std::unique_ptr<DiskMapWindow> shownMap(const sv::DiskImage& disk) {
    auto map = std::make_unique<DiskMapWindow>(disk);
    map->resize(900, 800);
    map->show();
    return QTest::qWaitForWindowExposed(map.get()) ? std::move(map) : nullptr;
}

QColor pixel(DiskMapView& view, QPoint point) { return view.grab().toImage().pixelColor(point); }

// Two disks' DMK files whose sectors differ everywhere: the same geometry, other bytes.
std::pair<std::string, std::string> twoDifferentDisks(const svtest::TempDir& dir) {
    mkdisk::Disk other = mkdisk::damagedModel2Disk();
    for (mkdisk::Track& track : other.tracks) {
        for (mkdisk::Sector& sector : track.sectors) {
            for (std::uint8_t& b : sector.data) {
                b = static_cast<std::uint8_t>(b ^ 0x5A);
            }
        }
    }
    const std::string first = dir.file("first.dmk");
    const std::string second = dir.file("second.dmk");
    mkdisk::writeFile(first, mkdisk::writeDmk(mkdisk::damagedModel2Disk()));
    mkdisk::writeFile(second, mkdisk::writeDmk(other));
    return {first, second};
}

}  // namespace

class DiskMapTest : public QObject {
    Q_OBJECT

private slots:
    void sectorsShowTheirStateAndNameThemselves() {
        const auto disk = svtest::toDiskImage(mkdisk::damagedTrsdosDisk());
        const auto shown = shownMap(*disk);
        QVERIFY(shown != nullptr);
        DiskMapWindow& map = *shown;
        DiskMapView& view = map.view();

        QCOMPARE(pixel(view, centreOf(view, 12, 3)), healthColour(sv::SectorHealth::DataCrcError));
        QCOMPARE(pixel(view, centreOf(view, 20, 6)), healthColour(sv::SectorHealth::BadId));
        QCOMPARE(pixel(view, centreOf(view, 40, 2)), healthColour(sv::SectorHealth::Deleted));
        QCOMPARE(pixel(view, centreOf(view, 50, 10)), healthColour(sv::SectorHealth::NoData));
        QCOMPARE(pixel(view, centreOf(view, 12, 4)), healthColour(sv::SectorHealth::Good));
        // Track 60 lost record 8: 25 sectors found, then one missing cell.
        QCOMPARE(pixel(view, view.cellRect(60, 0, 25).center()), missingColour());
        QVERIFY(view.cellRect(61, 0, 25).isValid());
        QVERIFY(view.hoverText(view.cellRect(61, 0, 26).center()).isEmpty());

        QCOMPARE(view.hoverText(centreOf(view, 12, 3)),
                 QStringLiteral("T012 H0 slot 3: ID cylinder 12, head 0, record 3; 256 bytes, "
                                "MFM; data CRC error"));
        QCOMPARE(view.hoverText(view.cellRect(60, 0, 25).center()),
                 QStringLiteral("T060 H0: record 8 missing (no ID with it was found)"));
        QTest::mouseMove(&view, centreOf(view, 0, 1));
        QCOMPARE(view.toolTip(), QStringLiteral("T000 H0 slot 1: ID cylinder 0, head 0, record "
                                                "1; 128 bytes, FM; good"));
        QVERIFY(control<QLabel>(map, mapId::counts)->text().startsWith(
            QStringLiteral("2001 sectors: 1996 good, 2 data CRC error, 1 bad ID, 1 deleted, "
                           "1 no data; 1 records missing")));

        // A bigger window draws bigger cells.
        const QRect before = view.cellRect(12, 0, 2);
        map.resize(1200, 1000);
        QTest::qWait(50);
        QVERIFY(view.cellRect(12, 0, 2).width() > before.width());
        QVERIFY(view.cellRect(12, 0, 2).height() > before.height());
    }

    void aClickOpensTheSectorView() {
        const auto disk = svtest::toDiskImage(mkdisk::damagedTrsdosDisk());
        const auto shown = shownMap(*disk);
        QVERIFY(shown != nullptr);
        DiskMapWindow& map = *shown;
        QTest::mouseClick(&map.view(), Qt::LeftButton, {}, centreOf(map.view(), 12, 3));
        SectorView* sector = map.sectorView();
        QVERIFY(sector != nullptr);
        QCOMPARE(sector->windowTitle(), QStringLiteral("Sector T012 H0 S03 (slot 3)"));
        const QString fields = control<QLabel>(*sector, sectorViewId::fields)->text();
        QVERIFY2(fields.contains(QStringLiteral("ID: cylinder 12, head 0, record 3, size code 1 "
                                                "(256 bytes)")),
                 qPrintable(fields));
        QVERIFY2(fields.contains(QStringLiteral("MFM, data mark FB, status 0x43\n")),
                 qPrintable(fields));
        QVERIFY2(fields.contains(QStringLiteral("State: data CRC error")), qPrintable(fields));
        const QString dump = control<QPlainTextEdit>(*sector, sectorViewId::text)->toPlainText();
        QCOMPARE(dump.count(QLatin1Char('\n')), 16);  // 256 bytes, 16 a line
        QVERIFY(dump.startsWith(QStringLiteral("000000 ")));

        // An ID without data: the view says the bytes are fill.
        QTest::mouseClick(&map.view(), Qt::LeftButton, {}, centreOf(map.view(), 50, 10));
        QVERIFY(map.sectorView() != nullptr && map.sectorView() != sector);
        QVERIFY(control<QLabel>(*map.sectorView(), sectorViewId::fields)
                    ->text()
                    .contains(QStringLiteral("not read from the disk")));
        // A missing record opens nothing.
        SectorView* last = map.sectorView();
        QTest::mouseClick(&map.view(), Qt::LeftButton, {}, map.view().cellRect(60, 0, 25).center());
        QCOMPARE(map.sectorView(), last);
    }

    void aHighlightedFileStandsOut() {
        const auto disk = svtest::toDiskImage(mkdisk::damagedTrsdosDisk());
        const auto shown = shownMap(*disk);
        QVERIFY(shown != nullptr);
        DiskMapWindow& map = *shown;
        DiskMapView& view = map.view();
        map.setHighlight({{12, 0, 2}, {12, 0, 3}});
        QCOMPARE(pixel(view, centreOf(view, 12, 3)), healthColour(sv::SectorHealth::DataCrcError));
        QCOMPARE(pixel(view, centreOf(view, 12, 4)), healthColour(sv::SectorHealth::Good));
        QVERIFY(pixel(view, centreOf(view, 12, 5)) != healthColour(sv::SectorHealth::Good));
        map.setHighlight({});
        QCOMPARE(pixel(view, centreOf(view, 12, 5)), healthColour(sv::SectorHealth::Good));
    }

    void theMainWindowOpensTheMapAndKeepsItCurrent() {
        svtest::TempDir dir;
        const std::string path = dir.file("worn.dmk");
        mkdisk::writeFile(path, mkdisk::writeDmk(mkdisk::damagedTrsdosDisk()));
        svtest::WindowRig rig;
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        QTest::mouseClick(control<QPushButton>(rig.window, mainId::diskMap), Qt::LeftButton);
        DiskMapWindow* map = rig.window.diskMap();
        QVERIFY(map != nullptr && map->isVisible());
        QCOMPARE(map->survey().cylinders, 0);
        rig.dialogs.answer(QString::fromStdString(path));
        QTest::mouseClick(control<QPushButton>(rig.window, mainId::load), Qt::LeftButton);
        QCOMPARE(map->survey().cylinders, 77);
        QCOMPARE(map->survey().counts.badId, 1);
        QCOMPARE(map->survey().counts.missing, 1);
    }

    void mergeShowsItsProgressAndAsksBeforeMergingTwoDisks() {
        svtest::TempDir dir;
        const auto [first, second] = twoDifferentDisks(dir);
        svtest::WindowRig rig;
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        auto* bar = control<QProgressBar>(rig.window, mainId::progress);
        QStringList shown;
        QObject::connect(bar, &QProgressBar::valueChanged, bar,
                         [bar, &shown] { shown << bar->text(); });
        rig.dialogs.answer(QString::fromStdString(first));
        rig.dialogs.answer(QString::fromStdString(second));
        rig.dialogs.answer(QString::fromStdString(second));
        QTest::mouseClick(control<QPushButton>(rig.window, mainId::load), Qt::LeftButton);
        QVERIFY(shown.isEmpty());  // a load has no bar

        const auto before = std::make_unique<sv::DiskImage>(*rig.disks.current);
        QTest::mouseClick(control<QPushButton>(rig.window, mainId::mergeImages), Qt::LeftButton);
        QCOMPARE(rig.dialogs.questions.size(), std::size_t{1});
        QVERIFY(std::memcmp(before.get(), rig.disks.current.get(), sizeof(sv::DiskImage)) == 0);
        std::string log = rig.window.log().currentText();
        QVERIFY2(log.find("Nothing was merged: the two images hold different disks") !=
                     std::string::npos,
                 log.c_str());

        rig.dialogs.confirmAnswer = true;
        QTest::mouseClick(control<QPushButton>(rig.window, mainId::mergeImages), Qt::LeftButton);
        log = rig.window.log().currentText();
        QVERIFY2(log.ends_with(" - Disk Images merged."), log.c_str());
        QCOMPARE(rig.disks.current->track(0, 5).sectors[0].data[0],
                 rig.disks.mergeSource->track(0, 5).sectors[0].data[0]);
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.front(), QStringLiteral("Track 1 of 77, T000 H0 S01"));
        QCOMPARE(shown.back(), QStringLiteral("Track 77 of 77, T076 H0 S01"));
        QVERIFY(bar->isHidden());
    }
};

SV_UI_TEST(DiskMapTest);

#include "disk_map_test.moc"
