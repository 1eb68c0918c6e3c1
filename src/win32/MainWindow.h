#pragma once

#include "app/MainForm.h"
#include "win32/DpiScale.h"
#include "win32/WindowModelView.h"

#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

#include <windows.h>

namespace trawlmeter {
class StopSignals;
} // namespace trawlmeter

namespace trawlmeter::win32 {

// The child windows get these identifiers: the first plus the control's place in the layout
// table, so a tool that looks at the window can tell which control it is.
inline constexpr int kFirstControlId = 100;
// The window's class, for tools that look for it.
inline constexpr const wchar_t* kMainWindowClass = L"TrawlmeterMainWindow";

// The window of a MainForm: every shown control of the layout at its place, scaled from twips
// to the window's resolution (again when it moves to a monitor of another), at a fixed size. It
// shows the model (refreshed after every handler and at each yield) and forwards the operator's
// clicks and path edits to it. The hidden group lives only in the model. The form must outlive
// the window; the form is unloaded exactly once, when the window closes or at the latest when
// it is destroyed.
//
// A stop signal (taken from `stopSignals` a few times a second, in the run's yields as when the
// program is idle) and the end of the Windows session close the window as the operator would:
// a run in hand ends at its next yield, keeping what it stored and removing its work folder.
class MainWindow {
public:
    MainWindow(MainForm& form, StopSignals* stopSignals);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow();

    // Creates the window and its controls, hidden; false when Windows refused.
    [[nodiscard]] bool create();
    // The load runs first, so its message box comes up while the window is not yet shown.
    void loadAndShow(int showCommand);
    void refreshFromModel();
    HWND handle() const { return m_window; }
    // The stop signal that closed the window, if one did (the session's end counts as TERM).
    std::optional<int> stopSignal() const { return m_stopSignal; }

private:
    struct Child {
        Control* control;
        HWND window;
    };

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    static LRESULT CALLBACK editProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR id, DWORD_PTR self);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void createControls();
    HWND createChild(Control& control, int id);
    // Places every control and sizes the window for the resolution in m_scale.
    void applyScale();
    void placeWindow(const RECT* suggested);
    void focusFirstEnabled();
    bool isCounter(const Control& control) const;
    Control* controlOf(HWND child) const;

    void onCommand(int id, int notification, HWND child);
    LRESULT onControlColour(UINT message, HDC context, HWND child);
    bool onSetCursor(HWND over);
    void onClose();
    void onDpiChanged(UINT dpi, const RECT& suggested);
    LRESULT onQueryEndSession();
    void onEndSession(bool ending);
    void keepSize(WINDOWPOS& position) const;

    // The window's context menu at `at` (screen coordinates; -1, -1 from the keyboard), with
    // the standard entries of a text box first where it was asked for over one.
    void showContextMenu(POINT at, HWND textBox);
    void crawlerReportChosen();
    void selectLogClicked();
    void analysisClicked();
    void creditLineClicked();
    // Closes the window when it was closed while a handler ran.
    void closeIfAsked();
    void unloadOnce();
    // Takes a stop signal: closes what is open over the window, then the window.
    void lookForStop();

    MainForm& m_form;
    StopSignals* m_stopSignals;
    HWND m_window = nullptr;
    TwipScale m_scale;
    SIZE m_outerSize{};
    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };
    std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> m_font;
    std::vector<Child> m_children;
    WindowModelView m_view;
    HWND m_focusBeforeDeactivation = nullptr;
    bool m_refreshing = false;
    bool m_closeWhenRunEnds = false;
    bool m_unloaded = false;
    std::optional<int> m_stopSignal;
};

} // namespace trawlmeter::win32
