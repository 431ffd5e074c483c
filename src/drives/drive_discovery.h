#pragma once

// Start-up discovery of the floppy driver and of controller cards: writes the first log lines
// and tells the window which physical-drive controls to show or remove.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/operation_log.h"
#include "drives/floppy_driver.h"

namespace sv {

// The main window's physical-drive controls, by control id.
namespace control {
inline constexpr int readButton = 1013;
inline constexpr int readCatweaselButton = 1014;
inline constexpr int readDriveList = 1015;
inline constexpr int writeButton = 1022;
inline constexpr int writeDriveList = 1023;
inline constexpr int writeCatweaselButton = 1024;
}  // namespace control

// What the discovery may do to the window. The window implements it; the engine never sees a
// window type.
class DriveControls {
public:
    virtual ~DriveControls() = default;
    // Makes the control visible and enabled.
    virtual void showControl(int id) = 0;
    // Disables the control and hides it.
    virtual void removeControl(int id) = 0;
    // Adds an entry ("A:", "B:") to one of the two drive lists.
    virtual void addDriveEntry(int listId, std::string_view entry) = 0;
};

// Records what the discovery asked for: for the tests and for the command-line program.
class DriveControlStates : public DriveControls {
public:
    struct State {
        bool visible = true;
        bool enabled = true;
    };
    void showControl(int id) override { states_[id] = State{true, true}; }
    void removeControl(int id) override { states_[id] = State{false, false}; }
    void addDriveEntry(int listId, std::string_view entry) override {
        entries_[listId].emplace_back(entry);
    }
    // Controls never touched keep their initial state: visible and enabled.
    [[nodiscard]] State state(int id) const;
    [[nodiscard]] bool shown(int id) const { return state(id).visible && state(id).enabled; }
    [[nodiscard]] std::vector<std::string> entries(int listId) const;

private:
    std::map<int, State> states_;
    std::map<int, std::vector<std::string>> entries_;
};

// A controller card as the card discovery sees it. Nothing can detect one, so the program
// always passes the default: no card.
struct CatweaselCard {
    std::uint8_t type = 0;  // 0 = no card
    std::uint64_t baseAddress = 0;
};

// Starts a fresh log text.
void discoverDrives(FloppyDriver& driver, OperationLog& log, DriveControls& controls);
// Adds to the text the log shows; runs after discoverDrives.
void discoverCatweaselCards(OperationLog& log, DriveControls& controls,
                            const CatweaselCard& card = {});

}  // namespace sv
