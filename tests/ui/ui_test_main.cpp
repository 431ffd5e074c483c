// Runs the window test classes: all of them, or the one named as the first argument (the rest
// of the arguments go to Qt Test).
#include <QApplication>
#include <QTest>

#include <cstring>
#include <vector>

#include "ui/ui_tests.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
    std::vector<char*> args{argv[0]};
    for (int i = only != nullptr ? 2 : 1; i < argc; ++i) {
        args.push_back(argv[i]);
    }
    int failures = 0;
    for (const auto& entry : svtest::uiTestClasses()) {
        if (only == nullptr || std::strcmp(only, entry.name) == 0) {
            auto test = entry.make();
            failures += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
        }
    }
    return failures == 0 ? 0 : 1;
}
