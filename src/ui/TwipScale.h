#pragma once

#include <QRect>
#include <QSize>

namespace trawlmeter::ui {

// Converts the layout's twips (1/1440 inch) to pixels at a screen's logical resolution:
// 15 twips make one pixel at 96 dots per inch.
class TwipScale {
public:
    explicit TwipScale(double dotsPerInch) : m_dotsPerInch(dotsPerInch) {}

    int pixels(int twips) const { return qRound(twips * m_dotsPerInch / 1440.0); }
    QSize size(int width, int height) const { return {pixels(width), pixels(height)}; }
    QRect rect(int left, int top, int width, int height) const {
        return {pixels(left), pixels(top), pixels(width), pixels(height)};
    }

private:
    double m_dotsPerInch;
};

} // namespace trawlmeter::ui
