#pragma once

// What the window tests share: the registry of test classes and a file-dialog provider that
// answers from a script.

#include <QObject>

#include <deque>
#include <memory>
#include <vector>

#include "ui/file_dialogs.h"

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

    std::deque<sv::ui::FileDialogAnswer> answers;
    std::vector<sv::ui::FileDialogRequest> requests;
};

}  // namespace svtest
