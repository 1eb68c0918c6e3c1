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

template <class Value> void VisitTally::Counts<Value>::drop() {
    // The entries go before the memory they lie in.
    decltype(byValue)(&memory).swap(byValue);
    memory.release();
    dropped = true;
    recentKey = nullptr;
    recent = nullptr;
}

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
        while (m_dates.memory.held() + m_statuses.memory.held() + m_urls.memory.held() +
                   m_clients.memory.held() >
               m_budget) {
            dropLargest();
        }
        if (counts.dropped) {
            return nullptr;
        }
    }
    counts.recentKey = &found->first;
    counts.recent = &found->second;
    return &found->second;
}

void VisitTally::dropLargest() {
    const std::array<std::size_t, 4> held{m_dates.memory.held(), m_statuses.memory.held(),
                                          m_urls.memory.held(), m_clients.memory.held()};
    switch (static_cast<TalliedList>(std::max_element(held.begin(), held.end()) - held.begin())) {
    case TalliedList::Dates:
        m_dates.drop();
        break;
    case TalliedList::Statuses:
        m_statuses.drop();
        break;
    case TalliedList::Urls:
        m_urls.drop();
        break;
    case TalliedList::Clients:
        m_clients.drop();
        break;
    }
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
    std::vector<TalliedList> dropped;
    if (m_dates.dropped) {
        dropped.push_back(TalliedList::Dates);
    } else {
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
    if (m_statuses.dropped) {
        dropped.push_back(TalliedList::Statuses);
    } else {
        figures.statuses = ranked(m_statuses.byValue, m_statuses.byValue.size(), itself);
    }
    if (m_urls.dropped) {
        dropped.push_back(TalliedList::Urls);
    } else {
        figures.urls = static_cast<long long>(m_urls.byValue.size());
        figures.topUrls =
            ranked(m_urls.byValue, kTopUrls, [](const UrlCount& c) { return c.visits; });
        figures.errorUrls =
            ranked(m_urls.byValue, kTopUrls, [](const UrlCount& c) { return c.errors; });
    }
    if (m_clients.dropped) {
        dropped.push_back(TalliedList::Clients);
    } else {
        figures.clients = static_cast<long long>(m_clients.byValue.size());
        figures.topClients = ranked(m_clients.byValue, kTopClients, itself);
    }
    return dropped;
}

} // namespace trawlmeter::report
