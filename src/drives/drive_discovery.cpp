#include "drives/drive_discovery.h"

#include <cstdio>

namespace sv {

namespace {

constexpr const char* kDriverAbsent = "FDRAWREAD.SYS is not installed, or no floppy drive present.";

void removeDriveControls(DriveControls& controls) {
    for (int id : {control::readButton, control::readDriveList, control::writeButton,
                   control::writeDriveList}) {
        controls.removeControl(id);
    }
}

std::string upperHex(std::uint64_t value, int digits) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%0*llX", digits, static_cast<unsigned long long>(value));
    return buffer;
}

}  // namespace

DriveControlStates::State DriveControlStates::state(int id) const {
    const auto found = states_.find(id);
    return found == states_.end() ? State{} : found->second;
}

std::vector<std::string> DriveControlStates::entries(int listId) const {
    const auto found = entries_.find(listId);
    return found == entries_.end() ? std::vector<std::string>{} : found->second;
}

void discoverDrives(FloppyDriver& driver, OperationLog& log, DriveControls& controls) {
    LogEditor text(log, "Finding Physical drives ");
    const DriverStatus status = driver.queryDriver();
    if (!status.present) {
        text.line(kDriverAbsent);
        if (!status.absenceCause.empty()) {
            text.line(status.absenceCause);
        }
        removeDriveControls(controls);
        return;
    }
    text.line("Physical Drives found");
    controls.showControl(control::readButton);
    controls.showControl(control::readDriveList);
    controls.addDriveEntry(control::readDriveList, "A:");
    controls.addDriveEntry(control::readDriveList, "B:");
    controls.removeControl(control::writeButton);
    controls.removeControl(control::writeDriveList);
    if (!driverVersionAccepted(status.version)) {
        text.line("FDRAWREAD.SYS is out of date, it needs to be v" +
                  formatDriverVersion(kRequiredDriverVersion) + " or above.");
        removeDriveControls(controls);
    }
}

void discoverCatweaselCards(OperationLog& log, DriveControls& controls, const CatweaselCard& card) {
    LogEditor text = LogEditor::continuing(log);
    text.line("Finding Catweasel Card(s)");
    if (card.type == 0) {
        text.line("CatWeasel card is not installed, or could not be found.");
        for (int id : {control::readCatweaselButton, control::writeCatweaselButton,
                       control::readDriveList, control::writeDriveList}) {
            controls.removeControl(id);
        }
        return;
    }
    text.line("CatWeasel Type " + upperHex(card.type, 2) + " card installed, at Base " +
              upperHex(card.baseAddress, 8) + "h.");
    for (int id : {control::readCatweaselButton, control::writeCatweaselButton,
                   control::readDriveList, control::writeDriveList}) {
        controls.showControl(id);
    }
    for (int list : {control::readDriveList, control::writeDriveList}) {
        controls.addDriveEntry(list, "A:");
        controls.addDriveEntry(list, "B:");
    }
}

}  // namespace sv
