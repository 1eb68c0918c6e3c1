#pragma once

#include "app/Controls.h"

#include <span>
#include <string_view>

// The fixed layout of the main window, in twips, as data. The front end only scales it.
namespace trawlmeter {

inline constexpr int kNoSize = -1;
inline constexpr int kNoTab = -1;

struct ControlSpec {
    std::string_view name;
    ControlKind kind;
    std::string_view container; // "" for the window itself
    std::string_view caption;   // caption or initial text
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
    bool visible;
    bool enabled;
};

struct WindowSpec {
    std::string_view caption;
    int outerWidth;
    int outerHeight;
    int innerWidth;
    int innerHeight;
};

inline constexpr WindowSpec kMainWindow{"Trawlmeter V1.0 --20080715", 6435, 4905, 6285, 4395};

// The credit line: "Powered by ", a handle, and the home page's host in square brackets.
// Short enough to show whole in its 3375 twips with the platform's default font.
inline constexpr std::string_view kCreditLine = "Powered by trawl[tm.example.org]";
inline constexpr std::string_view kHomePage = "https://tm.example.org";

// The one entry of the window's context menu (a right click anywhere on the window). It is not
// a control of the layout: the window's controls, texts and geometry stay as the table has them.
inline constexpr ControlSpec kCrawlerReportEntry{"MnuCrawlerReport",
                                                 ControlKind::MenuEntry,
                                                 "",
                                                 "查看爬虫报告",
                                                 0,
                                                 0,
                                                 kNoSize,
                                                 kNoSize,
                                                 kNoTab,
                                                 false,
                                                 true};

// Every control, shown ones first, in the order of the layout table.
std::span<const ControlSpec> formLayout();

// The row of a control by name; throws std::out_of_range for an unknown name (a programming error).
const ControlSpec& controlSpec(std::string_view name);

} // namespace trawlmeter
