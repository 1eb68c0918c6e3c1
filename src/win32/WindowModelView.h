#pragma once

#include "app/Controls.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace trawlmeter::win32 {

// Keeps the window's controls showing the window model: a refresh copies every control whose
// revision moved since the last look into its child window. The windows must outlive the
// view's last refresh.
class WindowModelView {
public:
    // Text boxes, labels and frames show their text; buttons their caption and enabled state.
    void bindText(const TextBox& control, HWND window);
    void bindCaption(const Label& control, HWND window);
    void bindButton(const CommandButton& control, HWND window);

    void refresh();
    // Takes the control's present state as shown, for changes that came from the window.
    void acknowledge(const Control& control);

private:
    struct Binding {
        const Control* control;
        std::function<void()> show;
        std::uint64_t shownRevision;
    };
    void add(const Control& control, std::function<void()> show);

    std::vector<Binding> m_bindings;
};

// The text of a window, as UTF-8.
std::string windowText(HWND window);
// Sets the text of a window from UTF-8 unless it shows that text already (rewriting an
// unchanged text would move the operator's cursor).
void showText(HWND window, std::string_view text);

} // namespace trawlmeter::win32
