#include "DisplayHold.h"

#include <dlfcn.h>

#include <chrono>
#include <thread>

namespace trawlmeter::ui::testing {

DisplayHold::DisplayHold() {
    // Loaded at run time: Qt's platform plugin brings libxcb, the test program does not link it.
    m_library = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (m_library == nullptr) {
        return;
    }
    using Connect = xcb_connection_t* (*)(const char*, int*);
    using HasError = int (*)(xcb_connection_t*);
    const auto connect = reinterpret_cast<Connect>(dlsym(m_library, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(dlsym(m_library, "xcb_connection_has_error"));
    m_disconnect =
        reinterpret_cast<void (*)(xcb_connection_t*)>(dlsym(m_library, "xcb_disconnect"));
    if (connect == nullptr || hasError == nullptr || m_disconnect == nullptr) {
        return;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_connection = connect(nullptr, nullptr);
        if (hasError(m_connection) == 0) {
            return;
        }
        m_disconnect(m_connection);
        m_connection = nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

DisplayHold::~DisplayHold() {
    if (m_connection != nullptr) {
        m_disconnect(m_connection);
    }
    if (m_library != nullptr) {
        dlclose(m_library);
    }
}

} // namespace trawlmeter::ui::testing
