#include "report/SvgCharts.h"

#include <algorithm>
#include <charconv>
#include <cstddef>

#include "report/HtmlText.h"
#include "report/Utf8.h"

namespace trawlmeter::report {
namespace {

constexpr double kWidth = 1100;
constexpr double kHeight = 320;
constexpr double kLeft = 78;
constexpr double kRight = 16;
constexpr double kTop = 40;
constexpr double kBottom = 58;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kPlotHeight = kHeight - kTop - kBottom;
constexpr std::size_t kLabelChars = 16;
constexpr std::size_t kLegendChars = 20;
// Beyond this many points a line shows no markers: they would merge into a thick band.
constexpr std::size_t kMaxMarkers = 62;

// Coordinates without the locale's decimal comma.
std::string num(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return std::string(text, end.ptr);
}

// Rough width in pixels of valid text at 12 px: wide glyphs for everything beyond ASCII.
double textWidth(std::string_view validText) {
    double width = 0;
    for (const char c : validText) {
        const auto byte = static_cast<unsigned char>(c);
        width += byte < 0x80 ? 7 : (byte & 0xC0) == 0xC0 ? 12 : 0;
    }
    return width;
}

// A value axis of at most five steps of 1, 2 or 5 times a power of ten.
struct Scale {
    long long top;
    long long step;
};

Scale niceScale(long long max) {
    max = std::max(max, 1LL);
    for (long long magnitude = 1;; magnitude *= 10) {
        for (const long long factor : {1LL, 2LL, 5LL}) {
            const long long step = factor * magnitude;
            if (max <= step * 5) {
                return {(max + step - 1) / step * step, step};
            }
        }
    }
}

class ChartWriter {
public:
    ChartWriter(const ChartData& data, ChartStyle style) : m_data(data), m_style(style) {
        long long max = 0;
        for (std::size_t i = 0; i < categories(); ++i) {
            long long stacked = 0;
            for (const ChartSeries& series : m_data.series) {
                const long long value = valueAt(series, i);
                stacked += value;
                max = std::max(max, m_style == ChartStyle::StackedBars ? stacked : value);
            }
        }
        m_empty = max == 0;
        m_scale = niceScale(max);
    }

    std::string svg() {
        m_out = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + num(kWidth) + " " +
                num(kHeight) + "\" role=\"img\" aria-label=\"" + htmlText(m_data.caption) + "\">";
        valueAxis();
        categoryAxis();
        if (m_empty) {
            text(kLeft + kPlotWidth / 2, kTop + kPlotHeight / 2, "middle", "没有访问记录",
                 " class=\"none\"");
        } else if (m_style == ChartStyle::Lines) {
            lines();
        } else {
            bars();
        }
        legend();
        m_out += "</svg>";
        return std::move(m_out);
    }

private:
    std::size_t categories() const { return m_data.categories.size(); }
    static long long valueAt(const ChartSeries& series, std::size_t i) {
        return i < series.values.size() ? series.values[i] : 0;
    }
    double band() const {
        return kPlotWidth / static_cast<double>(std::max<std::size_t>(categories(), 1));
    }
    double xAt(std::size_t i) const { return kLeft + (static_cast<double>(i) + 0.5) * band(); }
    double yAt(long long value) const {
        return kTop + kPlotHeight -
               static_cast<double>(value) * kPlotHeight / static_cast<double>(m_scale.top);
    }

    // `escapedText` is markup-safe already.
    void text(double x, double y, std::string_view anchor, std::string_view escapedText,
              std::string_view extra = "") {
        m_out += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" text-anchor=\"" +
                 std::string(anchor) + "\"" + std::string(extra) + ">" + std::string(escapedText) +
                 "</text>";
    }

    void line(double x1, double y1, double x2, double y2, std::string_view colour) {
        m_out += "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) +
                 "\" y2=\"" + num(y2) + "\" stroke=\"" + std::string(colour) + "\"/>";
    }

    std::string tooltip(const ChartSeries& series, std::size_t i) const {
        return "<title>" + htmlText(series.name) + " · " + htmlText(m_data.categories[i]) + ": " +
               groupThousands(valueAt(series, i)) + "</title>";
    }

    void valueAxis() {
        for (long long tick = 0; tick <= m_scale.top; tick += m_scale.step) {
            const double y = yAt(tick);
            line(kLeft, y, kLeft + kPlotWidth, y, tick == 0 ? "#57606a" : "#e5e7eb");
            text(kLeft - 8, y + 4, "end", groupThousands(tick));
        }
        line(kLeft, kTop, kLeft, kTop + kPlotHeight, "#57606a");
        m_out += "<text transform=\"rotate(-90)\" x=\"" + num(-(kTop + kPlotHeight / 2)) +
                 "\" y=\"16\" text-anchor=\"middle\" class=\"axis\">" + htmlText(m_data.yTitle) +
                 "</text>";
    }

    void categoryAxis() {
        std::vector<std::string> labels;
        double widest = 0;
        for (const std::string& category : m_data.categories) {
            labels.push_back(shortened(validUtf8(category), kLabelChars));
            widest = std::max(widest, textWidth(labels.back()));
        }
        // Every step-th label, so that neighbours never overlap.
        const auto fitting =
            std::max<std::size_t>(1, static_cast<std::size_t>(kPlotWidth / (widest + 14)));
        const std::size_t step = (categories() + fitting - 1) / fitting;
        const double baseline = kTop + kPlotHeight;
        for (std::size_t i = 0; i < categories(); i += std::max<std::size_t>(step, 1)) {
            line(xAt(i), baseline, xAt(i), baseline + 5, "#57606a");
            text(xAt(i), baseline + 19, "middle", htmlText(labels[i]));
        }
        text(kLeft + kPlotWidth / 2, kHeight - 8, "middle", htmlText(m_data.xTitle),
             " class=\"axis\"");
    }

    void lines() {
        for (const ChartSeries& series : m_data.series) {
            const std::string colour(series.colour);
            m_out += "<polyline fill=\"none\" stroke-width=\"2\" stroke-linejoin=\"round\" "
                     "stroke=\"" +
                     colour + "\" points=\"";
            for (std::size_t i = 0; i < categories(); ++i) {
                m_out += i ? " " : "";
                m_out += num(xAt(i)) + "," + num(yAt(valueAt(series, i)));
            }
            m_out += "\"/>";
            if (categories() <= kMaxMarkers) {
                for (std::size_t i = 0; i < categories(); ++i) {
                    m_out += "<circle cx=\"" + num(xAt(i)) + "\" cy=\"" +
                             num(yAt(valueAt(series, i))) + "\" r=\"3\" fill=\"" + colour + "\">" +
                             tooltip(series, i) + "</circle>";
                }
            }
        }
    }

    void bar(double x, double width, long long from, long long to, const ChartSeries& series,
             std::size_t i) {
        m_out += "<rect x=\"" + num(x) + "\" y=\"" + num(yAt(to)) + "\" width=\"" +
                 num(std::max(width, 1.0)) + "\" height=\"" + num(yAt(from) - yAt(to)) +
                 "\" fill=\"" + std::string(series.colour) + "\">" + tooltip(series, i) + "</rect>";
    }

    void bars() {
        const std::size_t count = std::max<std::size_t>(m_data.series.size(), 1);
        for (std::size_t i = 0; i < categories(); ++i) {
            long long stacked = 0;
            for (std::size_t s = 0; s < m_data.series.size(); ++s) {
                const ChartSeries& series = m_data.series[s];
                const long long value = valueAt(series, i);
                if (value <= 0) {
                    continue;
                }
                if (m_style == ChartStyle::StackedBars) {
                    const double width = band() * 0.7;
                    bar(xAt(i) - width / 2, width, stacked, stacked + value, series, i);
                    stacked += value;
                } else {
                    const double group = band() * 0.8;
                    const double width = group / static_cast<double>(count);
                    bar(xAt(i) - group / 2 + static_cast<double>(s) * width, width - 1, 0, value,
                        series, i);
                }
            }
        }
    }

    void legend() {
        double x = kLeft;
        for (const ChartSeries& series : m_data.series) {
            const std::string name = shortened(validUtf8(series.name), kLegendChars);
            m_out += "<rect x=\"" + num(x) +
                     "\" y=\"10\" width=\"12\" height=\"12\" rx=\"2\" "
                     "fill=\"" +
                     std::string(series.colour) + "\"/>";
            text(x + 17, 21, "start", htmlText(name));
            x += 17 + textWidth(name) + 20;
        }
    }

    const ChartData& m_data;
    ChartStyle m_style;
    Scale m_scale{};
    bool m_empty = true;
    std::string m_out;
};

} // namespace

std::string svgChart(const ChartData& data, ChartStyle style) {
    return ChartWriter(data, style).svg();
}

} // namespace trawlmeter::report
