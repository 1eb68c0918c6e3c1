#pragma once

#include <windows.h>

namespace trawlmeter::win32 {

// The dots per inch a window is drawn at. Per-monitor aware windows get their monitor's; on a
// Windows older than 10 (1607), which cannot tell, the system's.
UINT windowDpi(HWND window);
UINT systemDpi();

// The outer size of a window of `style` whose client area is `client`, at `dpi`.
SIZE outerSizeFor(SIZE client, DWORD style, DWORD extendedStyle, UINT dpi);

// Converts the layout's twips (1/1440 inch) to pixels at a window's resolution: 15 twips make
// one pixel at 96 dots per inch.
class TwipScale {
public:
    explicit TwipScale(UINT dotsPerInch) : m_dotsPerInch(static_cast<int>(dotsPerInch)) {}

    int pixels(int twips) const { return MulDiv(twips, m_dotsPerInch, kTwipsPerInch); }
    SIZE size(int width, int height) const { return {pixels(width), pixels(height)}; }
    UINT dotsPerInch() const { return static_cast<UINT>(m_dotsPerInch); }

private:
    static constexpr int kTwipsPerInch = 1440;
    int m_dotsPerInch;
};

} // namespace trawlmeter::win32
