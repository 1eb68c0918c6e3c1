#include "report/VisitTally.h"

#include <algorithm>

namespace trawlmeter::report {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The values with the most visits first, then in text order, `limit` of them at most.
template <class Map, class VisitsOf>
std::vector<Count> ranked(const Map& map, std::size_t limit, VisitsOf visitsOf) {
    std::vector<const typename Map::value_type*> entries;
    entries.reserve(map.size());
    for (const auto& entry : map) {
        if (visitsOf(entry.second) > 0) {
            entries.push_back(&entry);
        }
    }
    const auto cut = entries.begin() + static_cast<std::ptrdiff_t>(std::min(limit, entries.size()));
    std::partial_sort(entries.begin(), cut, entries.end(), [&](const auto* a, const auto* b) {
        const long long va = visitsOf(a->second);
        const long long vb = visitsOf(b->second);
        return va != vb ? va > vb : a->first < b->first;
    });
    std::vector<Count> counts;
    counts.reserve(static_cast<std::size_t>(cut - entries.begin()));
    for (auto it = entries.begin(); it != cut; ++it) {
        counts.push_back({std::string((*it)->first), visitsOf((*it)->second)});
    }
    return counts;
}

long long itself(long long visits) {
    return visits;
}

} // namespace

template <class Value> Value* VisitTally::entry(Counts<Value>& counts, std::string_view key) {
    if (counts.dropped) {
        return nullptr;
    }
    if (counts.recent && *counts.recentKey == key) {
        return counts.recent;
    }
    auto found = counts.byValue.find(key);
    if (found == counts.byValue.end()) {
        found = counts.byValue.try_emplace(std::pmr::string(key, &counts.memory)).first;
        while (held() > m_budget) {
            const auto all = lists();
            HeldList* largest = *std::max_element(all.begin(), all.end(), [](auto* a, auto* b) {
                return a->memory.held() < b->memory.held();
            });
            largest->drop();
        }
        if (counts.dropped) {
            return nullptr;
        }
    }
    counts.recentKey = &found->first;
    counts.recent = &found->second;
    return &found->second;
}

std::size_t VisitTally::held() const {
    std::size_t total = 0;
    for (const HeldList* list : lists()) {
        total += list->memory.held();
    }
    return total;
}

void VisitTally::add(std::string_view date, std::string_view time, std::string_view url,
                     std::string_view client, std::string_view status) {
    ++m_visits;
    if (time.size() >= 2 && isDigit(time[0]) && isDigit(time[1])) {
        const int hour = (time[0] - '0') * 10 + (time[1] - '0');
        if (hour < 24) {
            ++m_hours[static_cast<std::size_t>(hour)];
        }
    }
    if (DateCount* day = entry(m_dates, date)) {
        if (day->visits++ == 0) {
            day->earliest = day->latest = time;
        } else if (time < day->earliest) {
            day->earliest = time;
        } else if (time > day->latest) {
            day->latest = time;
        }
    }
    if (long long* visits = entry(m_statuses, status)) {
        ++*visits;
    }
    if (UrlCount* page = entry(m_urls, url)) {
        ++page->visits;
        page->errors += !status.empty() && (status[0] == '4' || status[0] == '5');
    }
    if (long long* visits = entry(m_clients, client)) {
        ++*visits;
    }
}

std::vector<TalliedList> VisitTally::finish(EngineFigures& figures) const {
    figures.visits = m_visits;
    figures.hourly = m_hours;
    if (!m_dates.dropped) {
        figures.daily.clear();
        figures.first.clear();
        figures.last.clear();
        figures.days = 0;
        for (const auto& [date, day] : m_dates.byValue) {
            figures.daily.push_back({std::string(date), day.visits});
            if (date.empty()) {
                continue;
            }
            ++figures.days;
            // In text order of "date time" as a whole, as SQLite compares it.
            std::string first = figures.daily.back().value + " " + day.earliest;
            std::string last = figures.daily.back().value + " " + day.latest;
            if (figures.days == 1 || first < figures.first) {
                figures.first = std::move(first);
            }
            if (figures.days == 1 || last > figures.last) {
                figures.last = std::move(last);
            }
        }
        std::sort(figures.daily.begin(), figures.daily.end(),
                  [](const Count& a, const Count& b) { return a.value < b.value; });
    }
    if (!m_statuses.dropped) {
        figures.statuses = ranked(m_statuses.byValue, m_statuses.byValue.size(), itself);
    }
    if (!m_urls.dropped) {
        figures.urls = static_cast<long long>(m_urls.byValue.size());
        figures.topUrls =
            ranked(m_urls.byValue, kTopUrls, [](const UrlCount& c) { return c.visits; });
        figures.errorUrls =
            ranked(m_urls.byValue, kTopUrls, [](const UrlCount& c) { return c.errors; });
    }
    if (!m_clients.dropped) {
        figures.clients = static_cast<long long>(m_clients.byValue.size());
        figures.clientVisits = ranked(m_clients.byValue, kCheckedClients, itself);
    }
    std::vector<TalliedList> dropped;
    const auto all = lists();
    for (std::size_t list = 0; list < all.size(); ++list) {
        if (all[list]->dropped) {
            dropped.push_back(static_cast<TalliedList>(list));
        }
    }
    return dropped;
}

} // namespace trawlmeter::report
