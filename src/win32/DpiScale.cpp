#include "win32/DpiScale.h"

namespace trawlmeter::win32 {
namespace {

constexpr UINT kDefaultDpi = 96;

// Looked up at run time: the program also starts on Windows versions without them.
template <class Function> Function* userFunction(const char* name) {
    static const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

} // namespace

UINT windowDpi(HWND window) {
    static auto* const forWindow = userFunction<UINT WINAPI(HWND)>("GetDpiForWindow");
    if (forWindow != nullptr) {
        if (const UINT dpi = forWindow(window); dpi != 0) {
            return dpi;
        }
    }
    return systemDpi();
}

UINT systemDpi() {
    static auto* const forSystem = userFunction<UINT WINAPI()>("GetDpiForSystem");
    if (forSystem != nullptr) {
        return forSystem();
    }
    const HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        return kDefaultDpi;
    }
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

SIZE outerSizeFor(SIZE client, DWORD style, DWORD extendedStyle, UINT dpi) {
    static auto* const adjustForDpi =
        userFunction<BOOL WINAPI(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, client.cx, client.cy};
    const BOOL adjusted = adjustForDpi != nullptr
                              ? adjustForDpi(&rect, style, FALSE, extendedStyle, dpi)
                              : AdjustWindowRectEx(&rect, style, FALSE, extendedStyle);
    if (adjusted == FALSE) {
        return client;
    }
    return {rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace trawlmeter::win32
