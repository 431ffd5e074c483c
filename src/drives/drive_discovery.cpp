#include "drives/drive_discovery.h"

#include "core/text.h"

namespace sv {

namespace {

constexpr const char* kDriverAbsent = "FDRAWREAD.SYS is not installed, or no floppy drive present.";

}  // namespace

DriveAvailability discoverDrives(FloppyDriver& driver, OperationLog& log) {
    DriveAvailability found;
    LogEditor text(log, "Finding Physical drives ");
    const DriverStatus status = driver.queryDriver();
    if (!status.present) {
        text.line(kDriverAbsent);
        if (!status.absenceCause.empty()) {
            text.line(status.absenceCause);
        }
        found.log = text.text();
        return found;
    }
    text.line("Physical Drives found");
    found.drives = {"A:", "B:"};
    found.driver = DriverState::Ready;
    if (!driverVersionAccepted(status.version)) {
        text.line("FDRAWREAD.SYS is out of date, it needs to be v" +
                  formatDriverVersion(kRequiredDriverVersion) + " or above.");
        found.driver = DriverState::OutOfDate;
    }
    found.log = text.text();
    return found;
}

void discoverCatweaselCards(OperationLog& log, DriveAvailability& found, const CatweaselCard& card) {
    LogEditor text = LogEditor::continuing(log);
    text.line("Finding Catweasel Card(s)");
    if (card.type == 0) {
        text.line("CatWeasel card is not installed, or could not be found.");
    } else {
        text.line("CatWeasel Type " + hexPadded(card.type, 2) + " card installed, at Base " +
                  hexPadded(card.baseAddress, 8) + "h.");
        found.cards.push_back(card);
        found.cardDrives = {"A:", "B:"};
    }
    found.log = text.text();
}

}  // namespace sv
