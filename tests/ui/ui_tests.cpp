#include "ui/ui_tests.h"

namespace svtest {

std::vector<UiTestClass>& uiTestClasses() {
    static std::vector<UiTestClass> classes;
    return classes;
}

}  // namespace svtest
