#include "win32/WindowModelView.h"

#include <limits>
#include <string>

#include "platform/windows/WideText.h"

namespace trawlmeter::win32 {

std::string windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return windows::utf8Text(text);
}

void showText(HWND window, std::string_view text) {
    if (windowText(window) != text) {
        (void)SetWindowTextW(window, windows::wideText(text).c_str());
    }
}

void WindowModelView::bindText(const TextBox& control, HWND window) {
    add(control, [&control, window] { showText(window, control.Text()); });
}

void WindowModelView::bindCaption(const Label& control, HWND window) {
    add(control, [&control, window] { showText(window, control.Caption()); });
}

void WindowModelView::bindButton(const CommandButton& control, HWND window) {
    add(control, [&control, window] {
        showText(window, control.Caption());
        (void)EnableWindow(window, control.Enabled() ? TRUE : FALSE);
    });
}

void WindowModelView::refresh() {
    for (Binding& binding : m_bindings) {
        const auto revision = binding.control->revision();
        if (revision != binding.shownRevision) {
            binding.shownRevision = revision;
            binding.show();
        }
    }
}

void WindowModelView::acknowledge(const Control& control) {
    for (Binding& binding : m_bindings) {
        if (binding.control == &control) {
            binding.shownRevision = control.revision();
        }
    }
}

void WindowModelView::add(const Control& control, std::function<void()> show) {
    // No revision yet shown: the first refresh fills every window.
    m_bindings.push_back({&control, std::move(show), std::numeric_limits<std::uint64_t>::max()});
}

} // namespace trawlmeter::win32
