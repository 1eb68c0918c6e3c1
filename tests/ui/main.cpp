#include <QApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <thread>

// Read by LeakSanitizer in sanitizer builds, unused otherwise. The D-Bus library that Qt's
// platform integration loads keeps a buffer it never frees; our own leaks stay reported.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name LeakSanitizer looks for.
extern "C" const char* __lsan_default_suppressions();
// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace {

struct xcb_connection_t;

// Xvfb resets whenever its last client leaves and refuses connections meanwhile, a moment
// that test programs starting side by side now and then hit. Waits until the display takes
// a connection and returns a closer that keeps it until the application has its own.
// libxcb comes with Qt's platform plugin, so it is loaded at run time.
std::function<void()> holdDisplay() {
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (xcb == nullptr) {
        return [] {};
    }
    const auto connect =
        reinterpret_cast<xcb_connection_t* (*)(const char*, int*)>(dlsym(xcb, "xcb_connect"));
    const auto failed =
        reinterpret_cast<int (*)(xcb_connection_t*)>(dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect =
        reinterpret_cast<void (*)(xcb_connection_t*)>(dlsym(xcb, "xcb_disconnect"));
    xcb_connection_t* connection = nullptr;
    for (int attempt = 0; connect && failed && disconnect && attempt < 100; ++attempt) {
        connection = connect(nullptr, nullptr);
        if (failed(connection) == 0) {
            break;
        }
        disconnect(connection);
        connection = nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return [=] {
        if (connection != nullptr) {
            disconnect(connection);
        }
        dlclose(xcb);
    };
}

} // namespace

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
    const auto releaseDisplay =
        qgetenv("QT_QPA_PLATFORM") == "xcb" ? holdDisplay() : std::function<void()>([] {});
    QApplication application(argc, argv);
    releaseDisplay();
    return RUN_ALL_TESTS();
}
