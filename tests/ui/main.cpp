#include "DisplayHold.h"

#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

// Read by LeakSanitizer in sanitizer builds, unused otherwise. The D-Bus library that Qt's
// platform integration loads keeps a buffer it never frees; our own leaks stay reported.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

int main(int argc, char** argv) {
    // Test discovery lists the tests at build time, where there may be no display.
    bool listOnly = false;
    for (int i = 1; i < argc; ++i) {
        listOnly = listOnly || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    if (listOnly) {
        return RUN_ALL_TESTS();
    }
    // A real X window, not an offscreen stand-in, unless the caller asked otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    std::optional<trawlmeter::ui::testing::DisplayHold> display;
    if (qgetenv("QT_QPA_PLATFORM") == "xcb") {
        display.emplace();
    }
    QApplication application(argc, argv);
    display.reset();
    return RUN_ALL_TESTS();
}
