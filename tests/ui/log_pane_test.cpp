#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTest>
#include <QVBoxLayout>

#include <string>

#include "ui/log_pane.h"
#include "ui/ui_tests.h"

using namespace sv::ui;

class LogPaneTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheTextWithItsLineBreaksAndReturnsItExactly() {
        QPlainTextEdit pane;
        LogPane log(&pane, "Description");
        QCOMPARE(pane.toPlainText(), QStringLiteral("Description"));
        log.show("Loading DMK Image: a.dmk\r\nT000 H000 S001 CRC\r\nT076 H001 S026");
        QCOMPARE(log.currentText(),
                 std::string("Loading DMK Image: a.dmk\r\nT000 H000 S001 CRC\r\nT076 H001 S026"));
        QCOMPARE(pane.blockCount(), 3);
        QCOMPARE(pane.document()->lastBlock().text(), QStringLiteral("T076 H001 S026"));

        log.show("Loading IMD Image: /d/caf\xC3\xA9.imd");
        QCOMPARE(pane.toPlainText(), QStringLiteral("Loading IMD Image: /d/caf\u00E9.imd"));
        log.show("IMD 1.12: Copyright \xA9 1981");
        QCOMPARE(pane.toPlainText(), QStringLiteral("IMD 1.12: Copyright \u00A9 1981"));
    }

    void theEndOfALongLogStaysInView() {
        QPlainTextEdit pane;
        pane.resize(300, 120);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        LogPane log(&pane, "");
        std::string text = "Loading";
        for (int i = 0; i < 400; ++i) {
            text += "\r\nT000 H000 S001 CRC";
        }
        text += " - DMK image loaded.";
        log.show(text);
        QScrollBar* bar = pane.verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
    }

    void repaintsAreThrottledWhileAnOperationRunsAndTheLastTextAlwaysShows() {
        QPlainTextEdit pane;
        LogPane log(&pane, "Description");
        const int before = log.paintCount();
        QElapsedTimer elapsed;
        elapsed.start();
        {
            OperationScope operation(log);
            for (int i = 0; i < 5000; ++i) {
                log.show("Loading\r\nT000 H000 S" + std::to_string(i));
            }
        }
        const qint64 ms = elapsed.elapsed();
        const int paints = log.paintCount() - before;
        // About one paint per 33 ms, plus the first and the last.
        QVERIFY2(paints <= ms / LogPane::kRepaintIntervalMs + 3,
                 qPrintable(QStringLiteral("%1 paints in %2 ms").arg(paints).arg(ms)));
        QCOMPARE(pane.toPlainText(), QStringLiteral("Loading\nT000 H000 S4999"));
        QVERIFY(!log.operationRunning());
    }

    void everyShowPaintsWhenNoOperationRuns() {
        QPlainTextEdit pane;
        LogPane log(&pane, "");
        const int before = log.paintCount();
        log.show("a");
        log.show("b");
        QCOMPARE(log.paintCount() - before, 2);
        QCOMPARE(pane.toPlainText(), QStringLiteral("b"));
    }

    void userInputIsIgnoredWhileAnOperationRuns() {
        QWidget window;
        auto* button = new QPushButton(QStringLiteral("Load"), &window);
        auto* pane = new QPlainTextEdit(&window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(button);
        layout->addWidget(pane);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        LogPane log(pane, "");
        int clicks = 0;
        connect(button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
        {
            OperationScope operation(log);
            QTest::mouseClick(button, Qt::LeftButton);
            QTest::keyClick(button, Qt::Key_Space);
            QVERIFY(!window.close());
            QVERIFY(window.isVisible());
        }
        QCOMPARE(clicks, 0);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicks, 1);
    }
};

SV_UI_TEST(LogPaneTest);

#include "log_pane_test.moc"
