#include "win32/MainWindow.h"

#include <algorithm>
#include <csignal>
#include <map>
#include <string_view>

#include <commctrl.h>
#include <windowsx.h>

#include "app/CrawlerEngines.h"
#include "app/FormLayout.h"
#include "app/Messages.h"
#include "platform/StopSignals.h"
#include "platform/windows/WideText.h"
#include "win32/EditMenu.h"

namespace trawlmeter::win32 {
namespace {

// No WS_CLIPCHILDREN: a frame paints only its line and caption, the window what lies inside.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExtendedStyle = WS_EX_CONTROLPARENT;
// The texts are Simplified Chinese: a font every Chinese Windows has, at the size of the
// system's dialogs.
constexpr const wchar_t* kFontFace = L"Microsoft YaHei";
constexpr int kFontPoints = 9;
constexpr int kPointsPerInch = 72;

constexpr UINT_PTR kStopLookTimer = 1;
constexpr UINT kStopLookMilliseconds = 50;
constexpr UINT kCrawlerReportEntry = 1;
constexpr UINT_PTR kEditSubclass = 1;
constexpr COLORREF kCreditLineColour = RGB(0, 0, 255);
constexpr int kStoppedBySessionEnd = SIGTERM;

bool isShownKind(ControlKind kind) {
    return kind == ControlKind::Frame || kind == ControlKind::Label ||
           kind == ControlKind::TextBox || kind == ControlKind::Button;
}

int layoutIndex(const ControlSpec& row) {
    const auto layout = formLayout();
    return static_cast<int>(&row - layout.data());
}

// Ends what keeps the window from closing: a menu, or a dialog or message box of this thread,
// answered as by Esc (a box with only OK takes that as OK). True when something was open.
bool closeWhatIsOpen() {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof(thread);
    if (GetGUIThreadInfo(GetCurrentThreadId(), &thread) != FALSE &&
        (thread.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE)) != 0) {
        (void)EndMenu();
        return true;
    }
    bool found = false;
    (void)EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM foundSoFar) -> BOOL {
            wchar_t className[16] = {};
            if (IsWindowVisible(window) != FALSE &&
                GetClassNameW(window, className, static_cast<int>(std::size(className))) > 0 &&
                std::wstring_view(className) == L"#32770") {
                (void)PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                *reinterpret_cast<bool*>(foundSoFar) = true;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

MainWindow::MainWindow(MainForm& form, StopSignals* stopSignals)
    : m_form(form), m_stopSignals(stopSignals), m_scale(systemDpi()) {}

MainWindow::~MainWindow() {
    unloadOnce();
    if (m_window != nullptr && IsWindow(m_window) != FALSE) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
}

bool MainWindow::create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &MainWindow::windowProcedure;
    windowClass.hInstance = instance;
    // The program's icon is its first icon resource.
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kMainWindowClass;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    const SIZE outer = outerSizeFor(m_scale.size(kMainWindow.innerWidth, kMainWindow.innerHeight),
                                    kWindowStyle, kWindowExtendedStyle, m_scale.dotsPerInch());
    m_window =
        CreateWindowExW(kWindowExtendedStyle, kMainWindowClass,
                        windows::wideText(kMainWindow.caption).c_str(), kWindowStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, outer.cx, outer.cy, nullptr, nullptr, instance, this);
    if (m_window == nullptr) {
        return false;
    }
    // The monitor the window opened on may have another resolution than the system's.
    m_scale = TwipScale(windowDpi(m_window));
    createControls();
    applyScale();
    placeWindow(nullptr);
    refreshFromModel();
    return true;
}

void MainWindow::loadAndShow(int showCommand) {
    m_form.Form_Load();
    refreshFromModel();
    ShowWindow(m_window, showCommand == SW_SHOWMAXIMIZED ? SW_SHOWNORMAL : showCommand);
    UpdateWindow(m_window);
    SetForegroundWindow(m_window);
    focusFirstEnabled();
    // Stop signals that came while the load ran are taken now.
    SetTimer(m_window, kStopLookTimer, kStopLookMilliseconds, nullptr);
}

void MainWindow::refreshFromModel() {
    m_refreshing = true;
    m_view.refresh();
    m_refreshing = false;
}

void MainWindow::createControls() {
    // Created in tab order: Tab moves through the controls in the order they were made.
    std::vector<Control*> shown;
    for (Control* control : m_form.controls()) {
        const ControlSpec& row = control->layoutRow();
        if (row.visible && isShownKind(row.kind)) {
            shown.push_back(control);
        }
    }
    std::stable_sort(shown.begin(), shown.end(), [](const Control* a, const Control* b) {
        return a->layoutRow().tabIndex < b->layoutRow().tabIndex;
    });
    for (Control* control : shown) {
        const HWND child =
            createChild(*control, kFirstControlId + layoutIndex(control->layoutRow()));
        if (child != nullptr) {
            m_children.push_back({control, child});
        }
    }
    // A frame lies under the controls inside it, which it would otherwise cover.
    for (const Child& child : m_children) {
        if (child.control->layoutRow().kind == ControlKind::Frame) {
            SetWindowPos(child.window, HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

HWND MainWindow::createChild(Control& control, int id) {
    const ControlSpec& row = control.layoutRow();
    const wchar_t* windowClass = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD extendedStyle = 0;
    switch (row.kind) {
    case ControlKind::Frame:
        windowClass = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
    case ControlKind::Label:
        style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
        if (&control == &m_form.Label4) {
            style |= SS_NOTIFY;
        }
        break;
    case ControlKind::TextBox:
        windowClass = L"EDIT";
        extendedStyle = WS_EX_CLIENTEDGE;
        style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
        // Only the program writes the counters.
        if (isCounter(control)) {
            style |= ES_READONLY;
        }
        break;
    case ControlKind::Button:
        windowClass = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
    case ControlKind::ListBox:
    case ControlKind::FileDialog:
    case ControlKind::MenuEntry:
        return nullptr;
    }
    const HWND child = CreateWindowExW(extendedStyle, windowClass, L"", style, 0, 0, 0, 0, m_window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleW(nullptr), nullptr);
    if (child == nullptr) {
        return nullptr;
    }
    switch (row.kind) {
    case ControlKind::TextBox:
        m_view.bindText(static_cast<TextBox&>(control), child);
        // A right click on a box brings its own entries and the window's.
        SetWindowSubclass(child, &MainWindow::editProcedure, kEditSubclass,
                          reinterpret_cast<DWORD_PTR>(this));
        break;
    case ControlKind::Button:
        m_view.bindButton(static_cast<CommandButton&>(control), child);
        break;
    default:
        m_view.bindCaption(static_cast<Label&>(control), child);
        break;
    }
    return child;
}

void MainWindow::applyScale() {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(kFontPoints, static_cast<int>(m_scale.dotsPerInch()), kPointsPerInch);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    wcsncpy(font.lfFaceName, kFontFace, LF_FACESIZE - 1);
    decltype(m_font) newFont(CreateFontIndirectW(&font));

    std::map<std::string_view, POINT> frames;
    for (const Child& child : m_children) {
        const ControlSpec& row = child.control->layoutRow();
        if (row.kind == ControlKind::Frame) {
            frames[row.name] = {m_scale.pixels(row.left), m_scale.pixels(row.top)};
        }
    }
    for (const Child& child : m_children) {
        const ControlSpec& row = child.control->layoutRow();
        // Inside a frame the place counts from the frame's own corner: the layout's Tops
        // already leave room for the frame's caption.
        POINT origin{0, 0};
        if (!row.container.empty()) {
            origin = frames[row.container];
        }
        SetWindowPos(child.window, nullptr, origin.x + m_scale.pixels(row.left),
                     origin.y + m_scale.pixels(row.top), m_scale.pixels(row.width),
                     m_scale.pixels(row.height), SWP_NOZORDER | SWP_NOACTIVATE);
        if (newFont) {
            SendMessageW(child.window, WM_SETFONT, reinterpret_cast<WPARAM>(newFont.get()), TRUE);
        }
    }
    if (newFont) {
        m_font = std::move(newFont);
    }
    m_outerSize = {0, 0};
}

void MainWindow::placeWindow(const RECT* suggested) {
    const SIZE client = m_scale.size(kMainWindow.innerWidth, kMainWindow.innerHeight);
    SIZE outer = outerSizeFor(client, kWindowStyle, kWindowExtendedStyle, m_scale.dotsPerInch());
    // The frame Windows really draws, where it differs from the computed one.
    RECT window{};
    RECT inner{};
    if (suggested == nullptr && GetWindowRect(m_window, &window) != FALSE &&
        GetClientRect(m_window, &inner) != FALSE && inner.right > 0) {
        outer.cx = client.cx + (window.right - window.left) - inner.right;
        outer.cy = client.cy + (window.bottom - window.top) - inner.bottom;
    }
    m_outerSize = outer;
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (suggested == nullptr ? SWP_NOMOVE : 0);
    SetWindowPos(m_window, nullptr, suggested != nullptr ? suggested->left : 0,
                 suggested != nullptr ? suggested->top : 0, outer.cx, outer.cy, flags);
    // The frame of the size just set may still differ from the computed one: measured again.
    if (suggested == nullptr && GetClientRect(m_window, &inner) != FALSE &&
        (inner.right != client.cx || inner.bottom != client.cy)) {
        m_outerSize.cx += client.cx - inner.right;
        m_outerSize.cy += client.cy - inner.bottom;
        SetWindowPos(m_window, nullptr, 0, 0, m_outerSize.cx, m_outerSize.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
}

void MainWindow::focusFirstEnabled() {
    for (const Child& child : m_children) {
        if ((GetWindowLongPtrW(child.window, GWL_STYLE) & WS_TABSTOP) != 0 &&
            IsWindowEnabled(child.window) != FALSE) {
            SetFocus(child.window);
            return;
        }
    }
}

bool MainWindow::isCounter(const Control& control) const {
    for (const auto& engine : kCrawlerEngines) {
        if (&control == &(m_form.*engine.counter)) {
            return true;
        }
    }
    return &control == &m_form.TxtLineCnt;
}

Control* MainWindow::controlOf(HWND child) const {
    for (const Child& entry : m_children) {
        if (entry.window == child) {
            return entry.control;
        }
    }
    return nullptr;
}

LRESULT CALLBACK MainWindow::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<MainWindow*>(creation->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::editProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR /*id*/, DWORD_PTR self) {
    if (message == WM_CONTEXTMENU) {
        reinterpret_cast<MainWindow*>(self)->showContextMenu(
            {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, window);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, &MainWindow::editProcedure, kEditSubclass);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return onControlColour(message, reinterpret_cast<HDC>(wParam),
                               reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
        if (onSetCursor(reinterpret_cast<HWND>(wParam))) {
            return TRUE;
        }
        break;
    case WM_CONTEXTMENU:
        showContextMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, nullptr);
        return 0;
    case WM_ACTIVATE:
        // The focus comes back to the control that had it, as in a dialog.
        if (LOWORD(wParam) == WA_INACTIVE) {
            m_focusBeforeDeactivation = GetFocus();
        } else if (m_focusBeforeDeactivation != nullptr &&
                   IsChild(m_window, m_focusBeforeDeactivation) != FALSE) {
            SetFocus(m_focusBeforeDeactivation);
            return 0;
        }
        break;
    case WM_WINDOWPOSCHANGING:
        keepSize(*reinterpret_cast<WINDOWPOS*>(lParam));
        return 0;
    case WM_DPICHANGED:
        onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kStopLookTimer) {
            lookForStop();
            return 0;
        }
        break;
    case WM_QUERYENDSESSION:
        return onQueryEndSession();
    case WM_ENDSESSION:
        onEndSession(wParam != FALSE);
        return 0;
    case WM_CLOSE:
        onClose();
        return 0;
    case WM_DESTROY:
        KillTimer(m_window, kStopLookTimer);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

void MainWindow::onCommand(int /*id*/, int notification, HWND child) {
    const Control* control = controlOf(child);
    if (control == nullptr) {
        return;
    }
    if (control == &m_form.CmdAnalysis && notification == BN_CLICKED) {
        analysisClicked();
    } else if (control == &m_form.CmdSelectrezOve && notification == BN_CLICKED) {
        selectLogClicked();
    } else if (control == &m_form.Label4 && notification == STN_CLICKED) {
        creditLineClicked();
    } else if (control == &m_form.TxtrezOveFile && notification == EN_CHANGE && !m_refreshing) {
        // The operator's edit: the model takes the box's text as it is.
        m_form.TxtrezOveFile.setText(windowText(child));
        m_view.acknowledge(m_form.TxtrezOveFile);
    }
}

LRESULT MainWindow::onControlColour(UINT message, HDC context, HWND child) {
    const Control* control = controlOf(child);
    if (control != nullptr && isCounter(*control)) {
        SetTextColor(context, GetSysColor(COLOR_HIGHLIGHT));
        SetBkColor(context, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    if (control == &m_form.Label4) {
        SetTextColor(context, kCreditLineColour);
        SetBkColor(context, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    return DefWindowProcW(m_window, message, reinterpret_cast<WPARAM>(context),
                          reinterpret_cast<LPARAM>(child));
}

bool MainWindow::onSetCursor(HWND over) {
    if (controlOf(over) != &m_form.Label4) {
        return false;
    }
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

void MainWindow::keepSize(WINDOWPOS& position) const {
    // The window has one size; only a minimised window takes another.
    if ((position.flags & SWP_NOSIZE) == 0 && m_outerSize.cx > 0 && IsIconic(m_window) == FALSE) {
        position.cx = m_outerSize.cx;
        position.cy = m_outerSize.cy;
    }
}

void MainWindow::onDpiChanged(UINT dpi, const RECT& suggested) {
    m_scale = TwipScale(dpi);
    applyScale();
    placeWindow(&suggested);
}

void MainWindow::showContextMenu(POINT at, HWND textBox) {
    refreshFromModel();
    const HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        return;
    }
    if (textBox != nullptr) {
        appendEditEntries(menu, textBox);
        (void)AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
    const CommandButton& entry = m_form.MnuCrawlerReport;
    const auto state = static_cast<UINT>(entry.Enabled() ? MF_ENABLED : MF_GRAYED);
    (void)AppendMenuW(menu, MF_STRING | state, kCrawlerReportEntry,
                      windows::wideText(entry.Caption()).c_str());
    if (at.x == -1 && at.y == -1) {
        // Asked for from the keyboard: at the corner of what has the focus.
        RECT place{};
        GetWindowRect(textBox != nullptr ? textBox : m_window, &place);
        at = {place.left, place.top};
    }
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, m_window, nullptr));
    DestroyMenu(menu);
    if (chosen == kCrawlerReportEntry) {
        crawlerReportChosen();
    } else if (chosen != 0 && textBox != nullptr) {
        (void)runEditEntry(textBox, chosen);
    }
}

void MainWindow::crawlerReportChosen() {
    // The operator reaches only an enabled entry, whatever the menu showed last.
    if (!m_form.MnuCrawlerReport.Enabled()) {
        return;
    }
    m_form.MnuCrawlerReport_Click();
    refreshFromModel();
    closeIfAsked();
}

void MainWindow::selectLogClicked() {
    m_form.CmdSelectrezOve_Click();
    refreshFromModel();
}

void MainWindow::analysisClicked() {
    // The operator reaches only an enabled button, whatever the control showed last.
    if (!m_form.CmdAnalysis.Enabled()) {
        return;
    }
    m_form.CmdAnalysis_Click();
    refreshFromModel();
    closeIfAsked();
}

void MainWindow::creditLineClicked() {
    m_form.Label4_Click();
    refreshFromModel();
}

void MainWindow::closeIfAsked() {
    if (m_closeWhenRunEnds) {
        m_closeWhenRunEnds = false;
        PostMessageW(m_window, WM_CLOSE, 0, 0);
    }
}

void MainWindow::onClose() {
    if (m_form.runInProgress() || m_form.reportInProgress()) {
        // The run ends at its next yield, keeping what it wrote and removing its work folder,
        // and a report ends unwritten; the window closes once its handler has returned, so the
        // database is closed only after the run stopped using it.
        m_form.requestStop();
        m_closeWhenRunEnds = true;
        return;
    }
    unloadOnce();
    DestroyWindow(m_window);
}

LRESULT MainWindow::onQueryEndSession() {
    if (!m_form.runInProgress() && !m_form.reportInProgress()) {
        return TRUE;
    }
    // A run ends as a stop signal ends it, which takes a moment: the session waits for the
    // program, and Windows tells the operator why; the program ends once the run has.
    m_stopSignal = kStoppedBySessionEnd;
    (void)ShutdownBlockReasonCreate(m_window,
                                    windows::wideText(messages::kStoppingForSessionEnd).c_str());
    onClose();
    return FALSE;
}

void MainWindow::onEndSession(bool ending) {
    if (!ending) {
        return;
    }
    // Windows may end the process as soon as this returns: a run in hand is asked to stop
    // (what it committed stays), and an idle window closes its database now.
    m_stopSignal = kStoppedBySessionEnd;
    if (m_form.runInProgress() || m_form.reportInProgress()) {
        m_form.requestStop();
        return;
    }
    unloadOnce();
}

void MainWindow::lookForStop() {
    if (!m_stopSignal) {
        if (m_stopSignals == nullptr) {
            return;
        }
        m_stopSignal = m_stopSignals->take();
        if (!m_stopSignal) {
            return;
        }
    }
    // Until the window has gone: a message box that the ending run shows is closed as well.
    if (closeWhatIsOpen()) {
        return;
    }
    if (!m_closeWhenRunEnds) {
        PostMessageW(m_window, WM_CLOSE, 0, 0);
    }
}

void MainWindow::unloadOnce() {
    if (!m_unloaded) {
        m_unloaded = true;
        // The unload shows its own message when the last records could not be committed.
        (void)m_form.Form_Unload();
    }
}

} // namespace trawlmeter::win32
