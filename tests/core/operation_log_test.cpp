#include "core/operation_log.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

TEST(ProgressField, ThreeFormsAndWideNumbersKeepTheirDigits) {
    EXPECT_EQ(sectorField(2, 0, 5), "T002 H000 S005");
    EXPECT_EQ(shortSectorField(76, 1, 26), "T076 H1 S26");
    EXPECT_EQ(mergeSectorField(0, 0, 0), "T000 H000 S000 ->      ");
    EXPECT_EQ(mergeSectorField(0, 0, 0).size(), 23u);
    EXPECT_EQ(shortSectorField(1, 0, 100), "T001 H0 S100");
    EXPECT_EQ(sectorField(1000, 0, 1), "T1000 H000 S001");
}

TEST(LogEditor, FieldUpdatesMarkersAndClosing) {
    TextSink log;
    log.show("old text");
    LogEditor text(log, "Loading DMK Image: x.dmk");
    EXPECT_EQ(log.currentText(), "Loading DMK Image: x.dmk");
    text.openField(sectorField(0, 0, 0), false);
    EXPECT_EQ(log.currentText(), "Loading DMK Image: x.dmk");
    text.setField(sectorField(2, 0, 5));
    text.mark(" CRC");
    text.setField(sectorField(3, 0, 1));
    text.mark(" BadID");
    text.mark(" CRC");
    text.setField(sectorField(76, 1, 26));
    text.finish(" - DMK image loaded.");
    EXPECT_EQ(log.currentText(),
              "Loading DMK Image: x.dmk\r\n"
              "T002 H000 S005 CRC\r\n"
              "T003 H000 S001 BadID\r\n"
              "T003 H000 S001 CRC\r\n"
              "T076 H001 S026 - DMK image loaded.");
}

TEST(LogEditor, WideFieldIsReplacedWhole) {
    TextSink log;
    LogEditor text(log, "x");
    text.openField(shortSectorField(0, 0, 0), true);
    text.setField(shortSectorField(1, 0, 100));
    text.setField(shortSectorField(1, 0, 2));
    EXPECT_EQ(log.currentText(), "x\r\nT001 H0 S02");
}

TEST(LogEditor, ContinuingAddsBelowAndFailAppendsLines) {
    TextSink log;
    log.show("first");
    LogEditor text = LogEditor::continuing(log);
    text.line("second");
    text.fail("a does not exist.", "Operation aborted.");
    EXPECT_EQ(log.currentText(), "first\r\nsecond\r\na does not exist.\r\nOperation aborted.");
}

}  // namespace
}  // namespace sv
