#include "ui/ModelView.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace trawlmeter::ui {

void ModelView::bind(const TextBox& control, QLineEdit& widget) {
    add(control, [&control, &widget] {
        const QString text = QString::fromStdString(control.Text());
        // Rewriting an unchanged text would move the operator's cursor.
        if (widget.text() != text) {
            widget.setText(text);
        }
    });
}

void ModelView::bind(const Label& control, QLabel& widget) {
    add(control,
        [&control, &widget] { widget.setText(QString::fromStdString(control.Caption())); });
}

void ModelView::bind(const Frame& control, QGroupBox& widget) {
    add(control,
        [&control, &widget] { widget.setTitle(QString::fromStdString(control.Caption())); });
}

void ModelView::bind(const CommandButton& control, QPushButton& widget) {
    add(control, [&control, &widget] {
        widget.setText(QString::fromStdString(control.Caption()));
        widget.setEnabled(control.Enabled());
    });
}

void ModelView::bind(const MenuEntry& control, QAction& action) {
    add(control, [&control, &action] {
        action.setText(QString::fromStdString(control.Caption()));
        action.setEnabled(control.Enabled());
    });
}

void ModelView::refresh() {
    for (Binding& binding : m_bindings) {
        const auto revision = binding.control->revision();
        if (revision != binding.shownRevision) {
            binding.shownRevision = revision;
            binding.show();
        }
    }
}

void ModelView::acknowledge(const Control& control) {
    for (Binding& binding : m_bindings) {
        if (binding.control == &control) {
            binding.shownRevision = control.revision();
        }
    }
}

void ModelView::add(const Control& control, std::function<void()> show) {
    // No revision yet shown: the first refresh fills every widget.
    m_bindings.push_back({&control, std::move(show), std::numeric_limits<std::uint64_t>::max()});
}

} // namespace trawlmeter::ui
