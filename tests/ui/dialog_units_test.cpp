#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <array>

#include "ui/dialog_units.h"
#include "ui/ui_tests.h"

using namespace sv::ui;

class DialogUnitsTest : public QObject {
    Q_OBJECT

private slots:
    void mulDivRoundsHalvesAwayFromZero() {
        QCOMPARE(mulDiv(5, 6, 4), 8);    // 7.5
        QCOMPARE(mulDiv(3, 6, 4), 5);    // 4.5
        QCOMPARE(mulDiv(1, 6, 4), 2);    // 1.5
        QCOMPARE(mulDiv(1, 5, 4), 1);    // 1.25
        QCOMPARE(mulDiv(-5, 6, 4), -8);  // -7.5
        QCOMPARE(mulDiv(7, 13, 8), 11);  // 11.375
        QCOMPARE(mulDiv(1, 2, 0), 0);
    }

    void dialogUnitsScaleWithTheFont() {
        // The classic 8-point dialog font measures 6 x 13: the main window is then 408 x 512.
        const QRect r = toPixels({6, 13}, 248, 122, 272, 315);
        QCOMPARE(r, QRect(372, 198, 408, 512));
        const BaseUnits units = baseUnits(dialogFont());
        QVERIFY(units.x >= 4 && units.x <= 12);
        QVERIFY(units.y >= units.x);
    }

    void controlsAreBuiltFromTheTable() {
        static constexpr std::array controls{
            ControlLayout{7, ControlKind::PushButton, "Go", 10, 20, 40, 15},
            ControlLayout{8, ControlKind::EditBox, "text", 60, 20, 100, 13},
            ControlLayout{9, ControlKind::GroupBox, "Frame", 5, 5, 200, 50},
            ControlLayout{10, ControlKind::Label, "Info", 5, 60, 200, 20},
            ControlLayout{11, ControlKind::ListBox, "", 5, 80, 100, 40},
            ControlLayout{12, ControlKind::PushButton, "Off", 110, 80, 40, 15, true},
        };
        QDialog dialog;
        buildDialog(dialog, {"Caption", 220, 130}, controls);
        const BaseUnits units = baseUnits(dialogFont());

        QCOMPARE(dialog.windowTitle(), QStringLiteral("Caption"));
        QCOMPARE(dialog.size(), toPixels(units, 0, 0, 220, 130).size());
        for (const ControlLayout& spec : controls) {
            QWidget* control = findControl(dialog, spec.id);
            QVERIFY2(control != nullptr, qPrintable(QString::number(spec.id)));
            QCOMPARE(control->objectName(), QString::number(spec.id));
            QCOMPARE(control->geometry(), toPixels(units, spec.x, spec.y, spec.width, spec.height));
            QCOMPARE(control->isEnabled(), !spec.disabled);
        }
        QCOMPARE(findControl<QPushButton>(dialog, 7)->text(), QStringLiteral("Go"));
        QCOMPARE(findControl<QLineEdit>(dialog, 8)->text(), QStringLiteral("text"));
        QCOMPARE(findControl<QGroupBox>(dialog, 9)->title(), QStringLiteral("Frame"));
        QVERIFY(findControl<QLabel>(dialog, 10)->wordWrap());
        QVERIFY(findControl<QListWidget>(dialog, 11) != nullptr);
        QVERIFY(findControl(dialog, 99) == nullptr);
        QVERIFY(findControl<QLabel>(dialog, 7) == nullptr);
    }

    void aGroupBoxNeverTakesTheClickOfAControlItFrames() {
        static constexpr std::array controls{
            ControlLayout{1, ControlKind::PushButton, "Inside", 20, 20, 40, 15},
            ControlLayout{2, ControlKind::GroupBox, "Frame", 5, 5, 200, 50},
        };
        QDialog dialog;
        buildDialog(dialog, {"Caption", 220, 80}, controls);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        int clicks = 0;
        auto* button = findControl<QPushButton>(dialog, 1);
        connect(button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
        QCOMPARE(dialog.childAt(button->geometry().center()), button);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicks, 1);
    }

    void tabOrderIsCreationOrder() {
        static constexpr std::array controls{
            ControlLayout{3, ControlKind::PushButton, "Third", 100, 100, 40, 15},
            ControlLayout{1, ControlKind::EditBox, "", 10, 10, 40, 13},
            ControlLayout{2, ControlKind::PushButton, "Second", 50, 50, 40, 15},
        };
        QDialog dialog;
        buildDialog(dialog, {"Caption", 160, 130}, controls);
        QWidget* first = findControl(dialog, 3);
        QCOMPARE(first->nextInFocusChain(), findControl(dialog, 1));
        QCOMPARE(findControl(dialog, 1)->nextInFocusChain(), findControl(dialog, 2));
    }

    void presenceShowsAndEnablesTogether() {
        static constexpr std::array controls{
            ControlLayout{1, ControlKind::PushButton, "B", 10, 10, 40, 15},
        };
        QDialog dialog;
        buildDialog(dialog, {"Caption", 100, 40}, controls);
        dialog.show();
        QWidget* button = findControl(dialog, 1);
        setControlPresent(button, false);
        QVERIFY(!button->isVisible());
        QVERIFY(!button->isEnabled());
        setControlPresent(button, true);
        QVERIFY(button->isVisible());
        QVERIFY(button->isEnabled());
        setControlPresent(nullptr, true);
    }
};

SV_UI_TEST(DialogUnitsTest);

#include "dialog_units_test.moc"
