#include "report/Report.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>

#include "report/HtmlText.h"
#include "report/SvgCharts.h"
#include "report/Utf8.h"

namespace trawlmeter::report {
namespace {

// One colour per engine, the same in every chart and table; chosen to stay apart for
// colour-blind readers and in print.
constexpr std::array<std::string_view, 5> kPalette{"#0072B2", "#D55E00", "#009E73", "#E69F00",
                                                   "#CC79A7"};
// The search engines and the AI crawlers in the chart of the two: the first two engines' colours.
constexpr std::string_view kSearchColour = "#0072B2";
constexpr std::string_view kAiColour = "#D55E00";
constexpr std::size_t kUrlChars = 64;
constexpr std::size_t kClientChars = 40;
constexpr std::size_t kHostChars = 64;
constexpr std::size_t kStampChars = 32;
// The impostors an engine's section lists; the JSON report lists all.
constexpr std::size_t kListedImpostors = 100;
// The verdicts' colours, apart from each other and from grey for colour-blind readers.
constexpr std::string_view kVerifiedColour = "#009E73";
constexpr std::string_view kImpostorColour = "#D55E00";
constexpr std::string_view kUnknownColour = "#BFC5CD";
constexpr std::size_t kStatusBars = 10;
// A longer span of dates is drawn only at the dates that have visits.
constexpr int kMaxFilledDays = 3660;

constexpr std::string_view kStyle = R"(
:root { color-scheme: light; }
body { margin: 24px auto; max-width: 1180px; padding: 0 20px; color: #1f2328; background: #fff;
  font: 14px/1.45 system-ui, "Noto Sans CJK SC", "WenQuanYi Micro Hei", "Microsoft YaHei", sans-serif; }
h1 { font-size: 26px; margin: 0 0 4px; }
h2 { font-size: 19px; margin: 30px 0 10px; padding-bottom: 4px; border-bottom: 1px solid #d0d7de; }
h3 { font-size: 14px; margin: 0 0 6px; }
h2 small { font-size: 13px; font-weight: normal; color: #57606a; margin-left: 8px; }
.meta { color: #57606a; margin: 0; }
.meta code { color: #1f2328; word-break: break-all; }
table { border-collapse: collapse; width: 100%; font-size: 13px; }
th, td { padding: 4px 8px; border-bottom: 1px solid #e5e7eb; text-align: left; vertical-align: top; }
th { background: #f6f8fa; font-weight: 600; white-space: nowrap; }
.n { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
.t { word-break: break-all; }
.none { color: #57606a; }
.engine-note { color: #57606a; margin: 0 0 10px; }
.swatch { display: inline-block; width: 11px; height: 11px; border-radius: 2px; margin-right: 7px;
  background: var(--c); vertical-align: baseline; }
.note { color: #57606a; margin: 8px 0 0; }
.note .swatch { margin-left: 10px; margin-right: 4px; }
.warn { margin: 8px 0 0; padding: 6px 10px; border-left: 3px solid #D55E00; background: #fff4ec; }
svg.bar { display: inline-block; width: 120px; height: 12px; vertical-align: middle; }
.impostors { margin-top: 18px; }
.engine h2 { border-bottom: 3px solid var(--c); }
.lists { display: grid; grid-template-columns: 1fr 1fr 0.72fr; gap: 18px; }
svg { display: block; width: 100%; height: auto; }
svg text { font-size: 12px; fill: #1f2328; }
svg text.axis, svg text.none { fill: #57606a; }
svg text.none { font-size: 15px; }
@media print {
  body { margin: 0; max-width: none; font-size: 11px; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
  svg, table, .engine { break-inside: avoid; }
}
)";

std::string_view colourOf(std::size_t engine) {
    return kPalette[engine % kPalette.size()];
}

// A part of visits as a percentage with one decimal, in integers so no locale can interfere.
std::string share(long long part, long long visits) {
    if (visits <= 0) {
        return "—";
    }
    const long long tenths = (part * 1000 + visits / 2) / visits;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "%";
}

long long errorVisits(const EngineFigures& figures) {
    long long errors = 0;
    for (const Count& status : figures.statuses) {
        if (!status.value.empty() && (status.value[0] == '4' || status.value[0] == '5')) {
            errors += status.visits;
        }
    }
    return errors;
}

// A table cell of a stranger's text, cut for display; the whole value shows on hover.
std::string textCell(std::string_view raw, std::size_t maxChars, std::string_view whenEmpty) {
    if (raw.empty()) {
        return "<td class=\"t none\">" + std::string(whenEmpty) + "</td>";
    }
    const std::string shown = htmlShort(raw, maxChars);
    const std::string whole = htmlText(raw);
    const std::string title = shown == whole ? "" : " title=\"" + whole + "\"";
    return "<td class=\"t\"" + title + ">" + shown + "</td>";
}

std::string numberCell(long long number) {
    return "<td class=\"n\">" + groupThousands(number) + "</td>";
}

std::optional<std::chrono::sys_days> parseDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
        !std::all_of(text.begin(), text.end(),
                     [](char c) { return c == '-' || (c >= '0' && c <= '9'); })) {
        return std::nullopt;
    }
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    std::from_chars(text.data(), text.data() + 4, year);
    std::from_chars(text.data() + 5, text.data() + 7, month);
    std::from_chars(text.data() + 8, text.data() + 10, day);
    const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(month),
                                           std::chrono::day(day)};
    return date.ok() ? std::optional(std::chrono::sys_days(date)) : std::nullopt;
}

std::string formatDate(std::chrono::sys_days days) {
    const std::chrono::year_month_day date(days);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

// The dates of a daily chart: every day from the first to the last when all are calendar
// dates, so gaps show as zero; otherwise the dates that occur, in text order. "" comes first.
std::vector<std::string> calendarOf(const std::set<std::string>& dates) {
    std::vector<std::string> categories(dates.begin(), dates.end());
    const auto firstDated = dates.count("") ? std::next(dates.begin()) : dates.begin();
    if (firstDated == dates.end()) {
        return categories;
    }
    const auto first = parseDate(*firstDated);
    const auto last = parseDate(*dates.rbegin());
    const bool allDates = std::all_of(firstDated, dates.end(),
                                      [](const std::string& date) { return parseDate(date); });
    if (!allDates || !first || !last || (*last - *first).count() > kMaxFilledDays) {
        return categories;
    }
    categories.erase(categories.begin() + (dates.count("") ? 1 : 0), categories.end());
    for (auto day = *first; day <= *last; day += std::chrono::days(1)) {
        categories.push_back(formatDate(day));
    }
    return categories;
}

std::vector<std::string> dateCategories(const Report& report) {
    std::set<std::string> dates;
    for (const EngineFigures& figures : report.engines) {
        for (const Count& day : figures.daily) {
            dates.insert(day.value);
        }
    }
    return calendarOf(dates);
}

// Each engine's visits at the given categories of one of its lists; values without a category
// of their own count under the last one.
ChartData chartOf(const Report& report, std::vector<std::string> categories,
                  const std::vector<Count> EngineFigures::*list) {
    std::map<std::string, std::size_t> position;
    for (std::size_t i = 0; i < categories.size(); ++i) {
        position.emplace(categories[i], i);
    }
    ChartData chart;
    for (std::size_t e = 0; e < report.engines.size(); ++e) {
        const EngineFigures& figures = report.engines[e];
        ChartSeries series{figures.name, colourOf(e), std::vector<long long>(categories.size())};
        for (const Count& count : figures.*list) {
            const auto found = position.find(count.value);
            if (found != position.end()) {
                series.values[found->second] += count.visits;
            } else if (!categories.empty()) {
                series.values.back() += count.visits;
            }
        }
        chart.series.push_back(std::move(series));
    }
    chart.categories = std::move(categories);
    return chart;
}

std::string dailyChart(const Report& report) {
    ChartData chart = chartOf(report, dateCategories(report), &EngineFigures::daily);
    std::replace(chart.categories.begin(), chart.categories.end(), std::string(),
                 std::string("无日期"));
    chart.caption = "每日访问";
    chart.xTitle = "日期";
    chart.yTitle = "访问次数";
    return svgChart(chart, ChartStyle::Lines);
}

std::string hourlyChart(const Report& report) {
    ChartData chart;
    for (int hour = 0; hour < 24; ++hour) {
        char label[8];
        std::snprintf(label, sizeof label, "%02d", hour);
        chart.categories.push_back(label);
    }
    for (std::size_t e = 0; e < report.engines.size(); ++e) {
        const auto& hourly = report.engines[e].hourly;
        chart.series.push_back({report.engines[e].name, colourOf(e),
                                std::vector<long long>(hourly.begin(), hourly.end())});
    }
    chart.caption = "按小时访问";
    chart.xTitle = "小时";
    chart.yTitle = "访问次数";
    return svgChart(chart, ChartStyle::StackedBars);
}

// The statuses with most visits over all engines, the rest together as "其他".
std::string statusChart(const Report& report) {
    std::map<std::string, long long> totals;
    for (const EngineFigures& figures : report.engines) {
        for (const Count& status : figures.statuses) {
            totals[status.value] += status.visits;
        }
    }
    std::vector<std::pair<std::string, long long>> ranked(totals.begin(), totals.end());
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::string> categories;
    for (std::size_t i = 0; i < ranked.size() && i < kStatusBars; ++i) {
        categories.push_back(ranked[i].first);
    }
    if (ranked.size() > kStatusBars) {
        categories.push_back("其他");
    }
    ChartData chart = chartOf(report, std::move(categories), &EngineFigures::statuses);
    std::replace(chart.categories.begin(), chart.categories.end(), std::string(),
                 std::string("(空)"));
    chart.caption = "状态码";
    chart.xTitle = "状态码";
    chart.yTitle = "访问次数";
    return svgChart(chart, ChartStyle::GroupedBars);
}

// One segment of a verification bar, `at` and `width` in thousandths of the bar.
std::string barSegment(int at, int width, std::string_view colour, std::string_view label,
                       long long visits, long long total) {
    if (width <= 0) {
        return {};
    }
    return "<rect x=\"" + std::to_string(at) + "\" y=\"0\" width=\"" + std::to_string(width) +
           "\" height=\"12\" fill=\"" + std::string(colour) + "\"><title>" + std::string(label) +
           " " + groupThousands(visits) + " 次访问（" + share(visits, total) + "）</title></rect>";
}

// The engine's visits by verdict as a small bar: verified, impostor, unknown from the left.
std::string verificationBar(const EngineVerification& verification) {
    const long long total = verification.verified + verification.impostor + verification.unknown;
    std::string bar = "<svg class=\"bar\" viewBox=\"0 0 1000 12\" preserveAspectRatio=\"none\" "
                      "role=\"img\" aria-label=\"已验证 " +
                      share(verification.verified, total) + "，冒充 " +
                      share(verification.impostor, total) + "，未知 " +
                      share(verification.unknown, total) + "\">";
    if (total <= 0) {
        return bar +
               "<rect x=\"0\" y=\"0\" width=\"1000\" height=\"12\" fill=\"none\" "
               "stroke=\"" +
               std::string(kUnknownColour) + "\"/></svg>";
    }
    // Rounded at the segments' ends, so that the three always fill the bar.
    const auto end = [total](long long visits) {
        return static_cast<int>((visits * 1000 + total / 2) / total);
    };
    const int verifiedEnd = end(verification.verified);
    const int impostorEnd = end(verification.verified + verification.impostor);
    bar += barSegment(0, verifiedEnd, kVerifiedColour, "已验证", verification.verified, total);
    bar += barSegment(verifiedEnd, impostorEnd - verifiedEnd, kImpostorColour, "冒充",
                      verification.impostor, total);
    bar += barSegment(impostorEnd, 1000 - impostorEnd, kUnknownColour, "未知", verification.unknown,
                      total);
    return bar + "</svg>";
}

std::string legendKey(std::string_view colour, std::string_view text) {
    return "<span class=\"swatch\" style=\"--c:" + std::string(colour) + "\"></span>" +
           std::string(text);
}

// What the verdicts mean, and what kept the verification from being whole.
void verificationNotes(std::string& out, const Report& report) {
    const VerificationSummary& summary = *report.verification;
    out += "<p class=\"note\">爬虫身份：" +
           legendKey(kVerifiedColour, "已验证：地址在该搜索引擎公布的地址段内，或其反向与正向 DNS "
                                      "解析一致且主机名属于该搜索引擎的域名。") +
           legendKey(kImpostorColour, "冒充：DNS 明确答复该地址不属于该搜索引擎。") +
           legendKey(kUnknownColour, "未知：无法判定。") + "</p>\n";
    if (summary.dnsUnavailable) {
        out += "<p class=\"warn\">无法询问 DNS：没有 DNS 服务器应答。需要 DNS "
               "判定的地址都记为未知；搜索引擎公布的地址段内的地址仍已验证。</p>\n";
    }
    if (summary.timeRanOut) {
        out += "<p class=\"warn\">DNS 查询超过了时间限制：没有得到答案的地址记为未知，"
               "下次生成报告时再查询。</p>\n";
    }
    long long unchecked = 0;
    for (const EngineFigures& figures : report.engines) {
        unchecked += figures.verification.uncheckedClients;
    }
    if (unchecked > 0) {
        out += "<p class=\"warn\">每个搜索引擎只验证访问最多的 " +
               groupThousands(static_cast<long long>(kCheckedClients)) + " 个地址；其余 " +
               groupThousands(unchecked) + " 个地址的访问记为未知。</p>\n";
    }
    if (const auto& failure = summary.verdictsNotKept) {
        out += "<p class=\"warn\">验证结果未能保存到数据库（" + htmlText(failure->subject) + "：" +
               htmlText(failure->code.message()) + "），下次生成报告时将重新查询。</p>\n";
    }
}

void summary(std::string& out, const Report& report) {
    long long total = 0;
    for (const EngineFigures& figures : report.engines) {
        total += figures.visits;
    }
    const bool verified = report.verification.has_value();
    out += "<h2>汇总</h2>\n";
    out += total == 0 ? "<p class=\"none\">数据库中没有爬虫访问记录。</p>\n"
                      : "<p>共 " + groupThousands(total) + " 次爬虫访问。</p>\n";
    out += "<table><thead><tr><th>搜索引擎</th><th class=\"n\">访问次数</th><th>首次访问</th>"
           "<th>最后访问</th><th class=\"n\">访问天数</th><th class=\"n\">网址数</th>"
           "<th class=\"n\">客户端地址数</th><th class=\"n\">错误响应比例</th>";
    if (verified) {
        out += "<th class=\"n\">已验证</th><th class=\"n\">冒充</th><th class=\"n\">未知</th>"
               "<th>爬虫身份</th>";
    }
    out += "</tr></thead><tbody>\n";
    for (std::size_t e = 0; e < report.engines.size(); ++e) {
        const EngineFigures& figures = report.engines[e];
        out += "<tr><td style=\"--c:" + std::string(colourOf(e)) + "\"><span class=\"swatch\">" +
               "</span>" + htmlText(figures.name) + "</td>" + numberCell(figures.visits) +
               textCell(figures.first, kStampChars, "—") +
               textCell(figures.last, kStampChars, "—") + numberCell(figures.days) +
               numberCell(figures.urls) + numberCell(figures.clients) + "<td class=\"n\">" +
               share(errorVisits(figures), figures.visits) + "</td>";
        if (verified) {
            const EngineVerification& verification = figures.verification;
            out += numberCell(verification.verified) + numberCell(verification.impostor) +
                   numberCell(verification.unknown) + "<td>" + verificationBar(verification) +
                   "</td>";
        }
        out += "</tr>\n";
    }
    out += "</tbody></table>\n";
    if (verified) {
        verificationNotes(out, report);
    }
}

void countTable(std::string& out, std::string_view heading, std::string_view column,
                const std::vector<Count>& counts, std::size_t maxChars) {
    out += "<div><h3>" + std::string(heading) +
           "</h3><table><thead><tr><th class=\"n\">#</th><th>" + std::string(column) +
           "</th><th class=\"n\">访问次数</th></tr></thead><tbody>\n";
    if (counts.empty()) {
        out += "<tr><td colspan=\"3\" class=\"none\">无</td></tr>\n";
    }
    for (std::size_t i = 0; i < counts.size(); ++i) {
        out += "<tr>" + numberCell(static_cast<long long>(i) + 1) +
               textCell(counts[i].value, maxChars, "(空)") + numberCell(counts[i].visits) +
               "</tr>\n";
    }
    out += "</tbody></table></div>\n";
}

// The engine's impostors with most visits, with the host their address gave.
void impostorTable(std::string& out, const EngineVerification& verification) {
    out += "<div class=\"impostors\"><h3>冒充的客户端地址</h3><table><thead><tr>"
           "<th class=\"n\">#</th><th>客户端地址</th><th>地址反向解析的主机名</th>"
           "<th class=\"n\">访问次数</th></tr></thead><tbody>\n";
    const auto& impostors = verification.impostors;
    if (impostors.empty()) {
        out += "<tr><td colspan=\"4\" class=\"none\">无</td></tr>\n";
    }
    long long unlistedVisits = 0;
    for (std::size_t i = 0; i < impostors.size(); ++i) {
        if (i >= kListedImpostors) {
            unlistedVisits += impostors[i].visits;
            continue;
        }
        out += "<tr>" + numberCell(static_cast<long long>(i) + 1) +
               textCell(impostors[i].client, kClientChars, "(空)") +
               textCell(impostors[i].host, kHostChars, "(无主机名)") +
               numberCell(impostors[i].visits) + "</tr>\n";
    }
    if (impostors.size() > kListedImpostors) {
        out += "<tr><td colspan=\"4\" class=\"none\">另有 " +
               groupThousands(static_cast<long long>(impostors.size() - kListedImpostors)) +
               " 个冒充地址，共 " + groupThousands(unlistedVisits) +
               " 次访问；JSON 格式的报告列出全部。</td></tr>\n";
    }
    out += "</tbody></table></div>\n";
}

void engineSection(std::string& out, const EngineFigures& figures, std::size_t e, bool verified) {
    out += "<section class=\"engine\" style=\"--c:" + std::string(colourOf(e)) +
           "\"><h2><span class=\"swatch\"></span>" + htmlText(figures.name) + "<small>表 " +
           htmlText(figures.table) + " · " + groupThousands(figures.visits) +
           " 次访问</small></h2>\n";
    if (!figures.note.empty()) {
        out += "<p class=\"engine-note\">" + htmlText(figures.note) + "</p>\n";
    }
    out += "<div class=\"lists\">\n";
    countTable(out, "抓取最多的网址", "网址", figures.topUrls, kUrlChars);
    countTable(out, "返回错误的网址", "网址", figures.errorUrls, kUrlChars);
    const auto& clients = figures.clientVisits;
    countTable(out, "访问最多的客户端地址", "客户端地址",
               {clients.begin(), clients.begin() + static_cast<std::ptrdiff_t>(
                                                       std::min(clients.size(), kTopClients))},
               kClientChars);
    out += "</div>\n";
    if (verified) {
        impostorTable(out, figures.verification);
    }
    out += "</section>\n";
}

// The search engines (the five and the other crawlers of that category) against the AI crawlers,
// day by day.
std::string searchAgainstAiChart(const Report& report) {
    std::set<std::string> dates;
    for (const EngineFigures& figures : report.engines) {
        for (const Count& day : figures.daily) {
            dates.insert(day.value);
        }
    }
    for (const OtherCrawlerFigures& crawler : report.otherCrawlers) {
        for (const Count& day : crawler.daily) {
            dates.insert(day.value);
        }
    }
    ChartData chart;
    chart.categories = calendarOf(dates);
    std::map<std::string, std::size_t> position;
    for (std::size_t i = 0; i < chart.categories.size(); ++i) {
        position.emplace(chart.categories[i], i);
    }
    ChartSeries search{"搜索引擎", kSearchColour, std::vector<long long>(position.size())};
    ChartSeries ai{"AI 爬虫", kAiColour, std::vector<long long>(position.size())};
    const auto add = [&position](ChartSeries& series, const std::vector<Count>& daily) {
        for (const Count& day : daily) {
            series.values[position.at(day.value)] += day.visits;
        }
    };
    for (const EngineFigures& figures : report.engines) {
        add(search, figures.daily);
    }
    for (const OtherCrawlerFigures& crawler : report.otherCrawlers) {
        if (crawler.category == kSearchEngineCategory) {
            add(search, crawler.daily);
        } else if (crawler.category == kAiCrawlerCategory) {
            add(ai, crawler.daily);
        }
    }
    chart.series = {std::move(search), std::move(ai)};
    std::replace(chart.categories.begin(), chart.categories.end(), std::string(),
                 std::string("无日期"));
    chart.caption = "搜索引擎与 AI 爬虫的每日访问";
    chart.xTitle = "日期";
    chart.yTitle = "访问次数";
    return svgChart(chart, ChartStyle::Lines);
}

// The most crawled URLs of a crawler in one cell, each with its visits.
std::string urlsCell(const std::vector<Count>& urls) {
    if (urls.empty()) {
        return "<td class=\"t none\">—</td>";
    }
    std::string cell = "<td class=\"t\">";
    for (std::size_t i = 0; i < urls.size(); ++i) {
        const std::string shown =
            urls[i].value.empty() ? "(空)" : htmlShort(urls[i].value, kUrlChars);
        cell += (i == 0 ? "" : "<br>") + shown + " <span class=\"none\">(" +
                groupThousands(urls[i].visits) + ")</span>";
    }
    return cell + "</td>";
}

void otherCrawlersSection(std::string& out, const Report& report) {
    long long engineVisits = 0;
    for (const EngineFigures& figures : report.engines) {
        engineVisits += figures.visits;
    }
    long long otherVisits = 0;
    long long aiVisits = 0;
    for (const OtherCrawlerFigures& crawler : report.otherCrawlers) {
        otherVisits += crawler.visits;
        aiVisits += crawler.category == kAiCrawlerCategory ? crawler.visits : 0;
    }
    const long long allVisits = engineVisits + otherVisits;
    out += "<section class=\"others\"><h2>其他爬虫<small>" +
           groupThousands(static_cast<long long>(report.otherCrawlers.size())) + " 个爬虫 · " +
           groupThousands(otherVisits) + " 次访问</small></h2>\n";
    if (report.otherCrawlers.empty()) {
        out += "<p class=\"none\">数据库中没有其他已知爬虫的访问记录。</p>\n</section>\n";
        return;
    }
    out += "<p>已知爬虫列表中五个搜索引擎以外的爬虫，占全部爬虫访问的 " +
           share(otherVisits, allVisits) + "。</p>\n";
    out += "<h3>AI 爬虫</h3>\n<p>共 " + groupThousands(aiVisits) + " 次访问，占全部爬虫访问的 " +
           share(aiVisits, allVisits) + "。</p>\n";
    out += "<table><thead><tr><th>爬虫</th><th class=\"n\">访问次数</th>"
           "<th class=\"n\">占全部爬虫访问</th></tr></thead><tbody>\n";
    if (aiVisits == 0) {
        out += "<tr><td colspan=\"3\" class=\"none\">无</td></tr>\n";
    }
    for (const OtherCrawlerFigures& crawler : report.otherCrawlers) {
        if (crawler.category == kAiCrawlerCategory) {
            out += "<tr>" + textCell(crawler.name, kClientChars, "(空)") +
                   numberCell(crawler.visits) + "<td class=\"n\">" +
                   share(crawler.visits, allVisits) + "</td></tr>\n";
        }
    }
    out += "</tbody></table>\n";
    out += "<h3>搜索引擎与 AI 爬虫（每日）</h3>\n" + searchAgainstAiChart(report) + "\n";
    out += "<h3>每个爬虫</h3>\n<table><thead><tr><th>爬虫</th><th>类别</th>"
           "<th class=\"n\">访问次数</th><th>首次访问</th><th>最后访问</th>"
           "<th>抓取最多的网址</th></tr></thead><tbody>\n";
    for (const OtherCrawlerFigures& crawler : report.otherCrawlers) {
        out += "<tr>" + textCell(crawler.name, kClientChars, "(空)") +
               textCell(crawler.category, kClientChars, "—") + numberCell(crawler.visits) +
               textCell(crawler.first, kStampChars, "—") +
               textCell(crawler.last, kStampChars, "—") + urlsCell(crawler.topUrls) + "</tr>\n";
    }
    out += "</tbody></table>\n</section>\n";
}

} // namespace

std::string renderHtml(const Report& report) {
    std::string out = "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                      "<title>爬虫报告</title>\n<style>";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n<h1>爬虫报告</h1>\n";
    out += "<p class=\"meta\">数据库：<code>" + htmlText(report.database) + "</code></p>\n";
    out += "<p class=\"meta\">生成时间：" + htmlText(report.generated) + "</p>\n";
    summary(out, report);
    out += "<h2>每日访问</h2>\n" + dailyChart(report) + "\n";
    out += "<h2>按小时访问</h2>\n" + hourlyChart(report) + "\n";
    out += "<h2>状态码</h2>\n" + statusChart(report) + "\n";
    for (std::size_t e = 0; e < report.engines.size(); ++e) {
        engineSection(out, report.engines[e], e, report.verification.has_value());
    }
    otherCrawlersSection(out, report);
    out += "</body>\n</html>\n";
    return out;
}

} // namespace trawlmeter::report
