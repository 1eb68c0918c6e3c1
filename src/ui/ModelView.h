#pragma once

#include "app/Controls.h"

#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace trawlmeter::ui {

// Keeps shown widgets showing the window model: a refresh copies every control whose
// revision moved since the last look into its widget. The widgets must outlive the view's
// last refresh.
class ModelView {
public:
    void bind(const TextBox& control, QLineEdit& widget);
    void bind(const Label& control, QLabel& widget);
    void bind(const Frame& control, QGroupBox& widget);
    void bind(const CommandButton& control, QPushButton& widget);
    void bind(const MenuEntry& control, QAction& action);

    void refresh();
    // Takes the control's present state as shown, for changes that came from the widget.
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

} // namespace trawlmeter::ui
