// Looks at the running window program from outside, as a tool of the window tests
// (window_test.sh): what Windows says of its window and controls, the dialogs it opens, and the
// answers given to them. It prints one "key<TAB>value" line per fact and exits 0, or says what
// it could not find and exits 1.
//
//   window_probe show               the window, once shown: caption, size, style, each control
//   window_probe layout             each shown control against the layout table at the window's
//                                   resolution: "misplaced" lines for those that differ
//   window_probe text NAME          the text of a control
//   window_probe set-text NAME TEXT gives a control a text, as typing it would
//   window_probe centre NAME        where a control's centre is on the screen
//   window_probe watch              samples the counters until the run ends: how many values
//                                   TxtLineCnt showed, then every control
//   window_probe dialog ok|cancel   the dialog the program shows: its title, texts and filters,
//                                   then answers it
//   window_probe wait-text NAME TEXT  waits until a control's text starts with TEXT
//   window_probe end-session        asks the window whether the Windows session may end, as
//                                   logging off asks it: its answer
//   window_probe close              closes the window as its close button does
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <windows.h>

#include "app/FormLayout.h"
#include "platform/windows/WideText.h"
#include "win32/DpiScale.h"
#include "win32/MainWindow.h"

namespace {

using namespace std::chrono_literals;
using trawlmeter::windows::utf8Text;
using trawlmeter::windows::wideText;

constexpr auto kPatience = 30s;
// The filter list of the file-open dialog (Windows' own identifier for it).
constexpr int kFilterList = 0x470;

void print(std::string_view key, std::string_view value) {
    std::printf("%.*s\t%.*s\n", static_cast<int>(key.size()), key.data(),
                static_cast<int>(value.size()), value.data());
    std::fflush(stdout);
}

[[noreturn]] void fail(std::string_view what) {
    print("error", what);
    std::exit(1);
}

std::string textOf(HWND window) {
    wchar_t text[4096] = {};
    // Asked by message: another process's controls give their text only that way.
    SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    return utf8Text(text);
}

std::string classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return utf8Text(name);
}

template <class Found> Found waitFor(const std::function<Found()>& look) {
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < until) {
        if (Found found = look()) {
            return found;
        }
        std::this_thread::sleep_for(20ms);
    }
    return Found{};
}

HWND mainWindow(bool shown) {
    const HWND window = waitFor<HWND>([shown] {
        const HWND found = FindWindowW(trawlmeter::win32::kMainWindowClass, nullptr);
        return found != nullptr && (!shown || IsWindowVisible(found) != FALSE) ? found : nullptr;
    });
    if (window == nullptr) {
        fail(shown ? "no window of the program was shown" : "the program made no window");
    }
    return window;
}

const trawlmeter::ControlSpec* rowNamed(std::string_view name) {
    for (const auto& row : trawlmeter::formLayout()) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}

HWND controlNamed(HWND window, std::string_view name) {
    const auto* row = rowNamed(name);
    if (row == nullptr) {
        fail("no control named " + std::string(name));
    }
    const HWND control =
        GetDlgItem(window, trawlmeter::win32::kFirstControlId +
                               static_cast<int>(row - trawlmeter::formLayout().data()));
    if (control == nullptr) {
        fail("the window has no " + std::string(name));
    }
    return control;
}

// A control's place in the client area of the window.
RECT placeOf(HWND window, HWND control) {
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

std::string rectText(const RECT& rect) {
    return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
           std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top);
}

void printControls(HWND window) {
    for (const auto& row : trawlmeter::formLayout()) {
        if (!row.visible || row.kind == trawlmeter::ControlKind::ListBox ||
            row.kind == trawlmeter::ControlKind::FileDialog) {
            continue;
        }
        const HWND control = controlNamed(window, row.name);
        print(row.name, textOf(control));
        print(std::string(row.name) + ".enabled", IsWindowEnabled(control) != FALSE ? "1" : "0");
    }
}

void show() {
    const HWND window = mainWindow(true);
    print("caption", textOf(window));
    RECT client{};
    GetClientRect(window, &client);
    print("client", std::to_string(client.right) + "x" + std::to_string(client.bottom));
    print("dpi", std::to_string(trawlmeter::win32::windowDpi(window)));
    const auto style = GetWindowLongPtrW(window, GWL_STYLE);
    print("resizable", (style & WS_THICKFRAME) != 0 ? "1" : "0");
    print("maximisable", (style & WS_MAXIMIZEBOX) != 0 ? "1" : "0");
    printControls(window);
}

void layout() {
    const HWND window = mainWindow(true);
    const trawlmeter::win32::TwipScale scale(trawlmeter::win32::windowDpi(window));
    RECT client{};
    GetClientRect(window, &client);
    int checked = 0;
    for (const auto& row : trawlmeter::formLayout()) {
        if (!row.visible || row.kind == trawlmeter::ControlKind::ListBox ||
            row.kind == trawlmeter::ControlKind::FileDialog) {
            continue;
        }
        RECT expected{scale.pixels(row.left), scale.pixels(row.top), 0, 0};
        if (!row.container.empty()) {
            const auto* frame = rowNamed(row.container);
            expected.left += scale.pixels(frame->left);
            expected.top += scale.pixels(frame->top);
        }
        expected.right = expected.left + scale.pixels(row.width);
        expected.bottom = expected.top + scale.pixels(row.height);
        const RECT place = placeOf(window, controlNamed(window, row.name));
        if (EqualRect(&place, &expected) == FALSE) {
            print("misplaced", std::string(row.name) + " at " + rectText(place) + " instead of " +
                                   rectText(expected));
        }
        RECT inside{};
        if (IntersectRect(&inside, &place, &client) == FALSE ||
            EqualRect(&inside, &place) == FALSE) {
            print("misplaced", std::string(row.name) + " is cut off");
        }
        ++checked;
    }
    print("checked", std::to_string(checked));
}

void centre(std::string_view name) {
    const HWND control = controlNamed(mainWindow(true), name);
    RECT place{};
    GetWindowRect(control, &place);
    print("x", std::to_string((place.left + place.right) / 2));
    print("y", std::to_string((place.top + place.bottom) / 2));
}

void watch() {
    const HWND window = mainWindow(true);
    const HWND lines = controlNamed(window, "TxtLineCnt");
    const HWND status = controlNamed(window, "Label3");
    std::set<std::string> linesShown;
    std::set<std::string> statusShown;
    const auto until = std::chrono::steady_clock::now() + 4 * kPatience;
    bool started = false;
    while (std::chrono::steady_clock::now() < until) {
        const std::string now = textOf(status);
        linesShown.insert(textOf(lines));
        statusShown.insert(now);
        started = started || now.starts_with("正在分析");
        if (started && (now == "分析完成" || now == "分析未完成")) {
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    print("lines-shown", std::to_string(linesShown.size()));
    for (const std::string& text : statusShown) {
        print("status-shown", text);
    }
    printControls(window);
}

struct DialogSearch {
    DWORD process;
    HWND found;
};

HWND dialogOf(HWND window) {
    DialogSearch search{0, nullptr};
    GetWindowThreadProcessId(window, &search.process);
    return waitFor<HWND>([&search] {
        EnumWindows(
            [](HWND candidate, LPARAM data) -> BOOL {
                auto* wanted = reinterpret_cast<DialogSearch*>(data);
                DWORD process = 0;
                GetWindowThreadProcessId(candidate, &process);
                if (process == wanted->process && IsWindowVisible(candidate) != FALSE &&
                    classOf(candidate) == "#32770") {
                    wanted->found = candidate;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    });
}

void dialog(std::string_view answer) {
    const HWND dialog = dialogOf(mainWindow(false));
    if (dialog == nullptr) {
        fail("the program showed no dialog");
    }
    print("title", textOf(dialog));
    std::vector<std::string> texts;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM data) -> BOOL {
            if (classOf(child) == "Static" && IsWindowVisible(child) != FALSE) {
                if (std::string text = textOf(child); !text.empty()) {
                    reinterpret_cast<std::vector<std::string>*>(data)->push_back(text);
                }
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    for (const std::string& text : texts) {
        print("text", text);
    }
    if (const HWND filters = GetDlgItem(dialog, kFilterList); filters != nullptr) {
        const auto count = SendMessageW(filters, CB_GETCOUNT, 0, 0);
        for (WPARAM i = 0; static_cast<LRESULT>(i) < count; ++i) {
            wchar_t text[512] = {};
            SendMessageW(filters, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            print("filter", utf8Text(text));
        }
        print("filter-selected", std::to_string(SendMessageW(filters, CB_GETCURSEL, 0, 0)));
    }
    PostMessageW(dialog, WM_COMMAND, answer == "ok" ? IDOK : IDCANCEL, 0);
    const bool gone = waitFor<bool>([dialog] { return IsWindow(dialog) == FALSE; });
    print("answered", gone ? "1" : "0");
}

} // namespace

// The wide entry point (-municode), which MinGW's headers do not declare.
int wmain(int argc, wchar_t** argv);

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(utf8Text(argv[i]));
    }
    const auto command = arguments.empty() ? std::string() : arguments[0];
    if (command == "show") {
        show();
    } else if (command == "layout") {
        layout();
    } else if (command == "text" && arguments.size() == 2) {
        print(arguments[1], textOf(controlNamed(mainWindow(true), arguments[1])));
    } else if (command == "set-text" && arguments.size() == 3) {
        SendMessageW(controlNamed(mainWindow(true), arguments[1]), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(wideText(arguments[2]).c_str()));
    } else if (command == "centre" && arguments.size() == 2) {
        centre(arguments[1]);
    } else if (command == "watch") {
        watch();
    } else if (command == "dialog" && arguments.size() == 2) {
        dialog(arguments[1]);
    } else if (command == "wait-text" && arguments.size() == 3) {
        const HWND control = controlNamed(mainWindow(true), arguments[1]);
        const std::string wanted = arguments[2];
        if (!waitFor<bool>([&] { return textOf(control).starts_with(wanted); })) {
            fail(arguments[1] + " never showed " + wanted);
        }
    } else if (command == "end-session") {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(mainWindow(true), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000,
                            &answer);
        print("may-end", answer != 0 ? "1" : "0");
    } else if (command == "close") {
        PostMessageW(mainWindow(false), WM_CLOSE, 0, 0);
    } else {
        fail("usage: window_probe show|layout|text|set-text|centre|watch|dialog|wait-text|"
             "end-session|close");
    }
    return 0;
}
