#pragma once

// What the window tests share: the registry of test classes and a file-dialog provider that
// answers from a script.

#include <QObject>

#include <deque>
#include <memory>
#include <vector>

#include "core/disk_image.h"
#include "drives/simulated_floppy_driver.h"
#include "mkdisk/fixture.h"
#include "ui/dialog_units.h"
#include "ui/file_dialogs.h"
#include "ui/main_window.h"

namespace svtest {

struct UiTestClass {
    const char* name;
    std::unique_ptr<QObject> (*make)();
};

std::vector<UiTestClass>& uiTestClasses();

struct RegisterUiTest {
    RegisterUiTest(const char* name, std::unique_ptr<QObject> (*make)()) {
        uiTestClasses().push_back({name, make});
    }
};

#define SV_UI_TEST(Class)                                              \
    static const svtest::RegisterUiTest register##Class(#Class, []() { \
        return std::unique_ptr<QObject>(std::make_unique<Class>());    \
    })

// Answers each dialog with the next queued answer (cancelled once the queue is empty) and keeps
// every request for the tests to look at.
class ScriptedDialogs : public sv::ui::FileDialogProvider {
public:
    sv::ui::FileDialogAnswer choose(QWidget* owner,
                                    const sv::ui::FileDialogRequest& request) override {
        (void)owner;
        requests.push_back(request);
        if (answers.empty()) {
            return {};
        }
        sv::ui::FileDialogAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void answer(const QString& path, int filterIndex = 0) {
        answers.push_back({path, filterIndex});
    }
    bool confirm(QWidget* owner, const QString& title, const QString& question) override {
        (void)owner;
        (void)title;
        questions.push_back(question);
        return confirmAnswer;
    }
    sv::ui::SaveChoice askToSave(QWidget* owner, const QString& title,
                                 const QString& details) override {
        (void)owner;
        (void)title;
        saveQuestions.push_back(details);
        return saveChoice;
    }

    std::deque<sv::ui::FileDialogAnswer> answers;
    std::vector<sv::ui::FileDialogRequest> requests;
    bool confirmAnswer = false;
    std::vector<QString> questions;
    sv::ui::SaveChoice saveChoice = sv::ui::SaveChoice::Cancel;
    std::vector<QString> saveQuestions;
};

// The generator's disk model copied slot by slot into a store, for the simulated drive.
[[nodiscard]] std::shared_ptr<sv::DiskImage> toDiskImage(const mkdisk::Disk& model);

// A main window with its disks, scripted dialogs and a simulated drive.
struct WindowRig {
    explicit WindowRig(sv::SimulatedDriveOptions options = {},
                       std::shared_ptr<const sv::DiskImage> inDrive = sv::makeDiskImage())
        : driver(std::move(inDrive), options), window(disks, dialogs, driver) {}

    sv::ui::Disks disks;
    ScriptedDialogs dialogs;
    sv::SimulatedFloppyDriver driver;
    sv::ui::MainWindow window;
};

// The control of the window with that id, failing the test when it is missing.
template <typename T>
T* control(const QWidget& window, int id) {
    T* found = sv::ui::findControl<T>(window, id);
    if (found == nullptr) {
        qFatal("control %d missing", id);
    }
    return found;
}

}  // namespace svtest
