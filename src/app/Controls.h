#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The controls of the window model. Each holds only its own state; a revision number
// rises with every change so a front end can tell what to repaint.
namespace trawlmeter {

enum class ControlKind { Label, TextBox, Frame, Button, ListBox, FileDialog, MenuEntry };

struct ControlSpec;

class Control {
public:
    explicit Control(const ControlSpec& row) : m_row(row) {}
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    const ControlSpec& layoutRow() const { return m_row; }
    std::uint64_t revision() const { return m_revision; }

protected:
    void changed() { ++m_revision; }

private:
    const ControlSpec& m_row;
    std::uint64_t m_revision = 0;
};

class TextBox : public Control {
public:
    explicit TextBox(const ControlSpec& row);
    const std::string& Text() const;
    void setText(std::string_view text);

    // Counter boxes: shows `count` in the counters' decimal form. Millions of raises go by
    // unseen, so the text is made only when someone reads it.
    void setCount(double count);
    // The number set by setCount while the text stands for it exactly; nothing once the text
    // was written as text, or when the count is no whole number below 10^15.
    std::optional<double> count() const { return m_count; }
    // Adds 1 to the count when the sum still stands for its text exactly; false otherwise.
    bool countOn();

private:
    mutable std::string m_text;
    mutable bool m_textBehind = false;
    std::optional<double> m_count;
};

// Reads the box's text as a number, adds 1 and writes the sum back. A text that does not read
// as a number stays as it is: whatever the box shows is the base of the count.
void raiseCounter(TextBox& box);
// Takes `times` raises back from a box that holds an exact count; any other box keeps its text.
void lowerCounter(TextBox& box, std::uint64_t times);

// Labels and frames: a caption the program may write.
class Label : public Control {
public:
    explicit Label(const ControlSpec& row);
    const std::string& Caption() const { return m_caption; }
    void setCaption(std::string caption);

private:
    std::string m_caption;
};

using Frame = Label;

class CommandButton : public Control {
public:
    explicit CommandButton(const ControlSpec& row);
    const std::string& Caption() const { return m_caption; }
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

private:
    std::string m_caption;
    bool m_enabled;
};

class ListBox : public Control {
public:
    explicit ListBox(const ControlSpec& row) : Control(row) {}
    void Clear();
    void AddItem(std::string item);
    std::int64_t ListCount() const { return static_cast<std::int64_t>(m_items.size()); }
    // −1 while no item is current.
    std::int64_t ListIndex() const { return m_index; }
    // An index outside the items fails and leaves the current item unchanged.
    bool setListIndex(std::int64_t index);
    // The current item's text; empty when none is current.
    std::string Text() const;
    const std::vector<std::string>& items() const { return m_items; }

private:
    std::vector<std::string> m_items;
    std::int64_t m_index = -1;
};

// An entry of the window's context menu: a caption and an enabled state, as a button has.
using MenuEntry = CommandButton;

// The file-open dialog component: no visible form, only a place in the layout.
class FileDialogComponent : public Control {
public:
    explicit FileDialogComponent(const ControlSpec& row) : Control(row) {}
};

} // namespace trawlmeter
