#pragma once

// Start-up discovery of the floppy driver and of controller cards: writes the first log lines
// and returns what it found. Which controls that shows is the window's affair.

#include <cstdint>
#include <string>
#include <vector>

#include "core/operation_log.h"
#include "drives/floppy_driver.h"

namespace sv {

enum class DriverState {
    Absent,     // the control device did not open
    OutOfDate,  // it opened, but the version is not one the reader accepts
    Ready,
};

// A controller card as the card discovery sees it. Nothing can detect one, so the program
// always passes the default: no card.
struct CatweaselCard {
    std::uint8_t type = 0;  // 0 = no card
    std::uint64_t baseAddress = 0;
};

struct DriveAvailability {
    DriverState driver = DriverState::Absent;
    // The drives the driver offers ("A:", "B:"): whenever its control device opened, even out
    // of date.
    std::vector<std::string> drives;
    std::vector<CatweaselCard> cards;
    // The drives the cards offer, for reading and for writing.
    std::vector<std::string> cardDrives;
    std::string log;  // the text the discovery showed last
};

// Starts a fresh log text.
[[nodiscard]] DriveAvailability discoverDrives(FloppyDriver& driver, OperationLog& log);
// Adds to the text the log shows and to `found`; runs after discoverDrives.
void discoverCatweaselCards(OperationLog& log, DriveAvailability& found,
                            const CatweaselCard& card = {});

}  // namespace sv
