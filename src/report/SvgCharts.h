#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trawlmeter::report {

struct ChartSeries {
    std::string_view name;
    std::string_view colour;       // a colour of our own palette, written as it is
    std::vector<long long> values; // one per category
};

struct ChartData {
    std::string_view caption; // the chart's accessible name
    std::string_view xTitle;
    std::string_view yTitle;
    std::vector<std::string> categories; // any text; escaped and shortened for display
    std::vector<ChartSeries> series;
};

enum class ChartStyle { Lines, StackedBars, GroupedBars };

// An inline SVG chart with a value axis starting at 0, category labels thinned to fit, a grid,
// a legend and a tooltip per point or bar. A chart without visits says so instead of plotting.
[[nodiscard]] std::string svgChart(const ChartData& data, ChartStyle style);

} // namespace trawlmeter::report
