#include "app/Controls.h"

#include "app/CounterText.h"
#include "app/FormLayout.h"

#include <utility>

namespace trawlmeter {

TextBox::TextBox(const ControlSpec& row) : Control(row), m_text(row.caption) {}

const std::string& TextBox::Text() const {
    if (m_textBehind) {
        m_text = formatCounterValue(*m_count);
        m_textBehind = false;
    }
    return m_text;
}

void TextBox::setText(std::string_view text) {
    const bool differs = text != Text();
    m_count.reset();
    if (differs) {
        // Into the buffer the box has: an item a line is written here for every crawler line.
        m_text.assign(text);
        changed();
    }
}

void TextBox::setCount(double count) {
    if (isExactCount(count)) {
        m_count = count;
        m_textBehind = true;
        changed();
    } else {
        // Only an exact count may stand in for its text; any other is read back from it.
        setText(formatCounterValue(count));
    }
}

bool TextBox::countOn() {
    // Below this a whole count plus 1 is whole and below 10^15 again.
    constexpr double kLastExactBeforeTheLimit = 999'999'999'999'998.0;
    if (!m_count || *m_count > kLastExactBeforeTheLimit) {
        return false;
    }
    *m_count += 1;
    m_textBehind = true;
    changed();
    return true;
}

void raiseCounter(TextBox& box) {
    if (box.countOn()) {
        return;
    }
    const auto raised =
        box.count() ? std::optional<double>(*box.count() + 1) : raisedCount(box.Text());
    if (raised) {
        box.setCount(*raised);
    }
}

void lowerCounter(TextBox& box, std::uint64_t times) {
    if (times > 0 && box.count()) {
        box.setCount(*box.count() - static_cast<double>(times));
    }
}

Label::Label(const ControlSpec& row) : Control(row), m_caption(row.caption) {}

void Label::setCaption(std::string caption) {
    if (caption != m_caption) {
        m_caption = std::move(caption);
        changed();
    }
}

CommandButton::CommandButton(const ControlSpec& row)
    : Control(row), m_caption(row.caption), m_enabled(row.enabled) {}

void CommandButton::setEnabled(bool enabled) {
    if (enabled != m_enabled) {
        m_enabled = enabled;
        changed();
    }
}

void ListBox::Clear() {
    m_items.clear();
    m_index = -1;
    changed();
}

void ListBox::AddItem(std::string item) {
    m_items.push_back(std::move(item));
    changed();
}

bool ListBox::setListIndex(std::int64_t index) {
    if (index < 0 || index >= ListCount()) {
        return false;
    }
    m_index = index;
    changed();
    return true;
}

std::string ListBox::Text() const {
    return m_index >= 0 ? m_items[static_cast<size_t>(m_index)] : std::string();
}

} // namespace trawlmeter
