#pragma once

#include "platform/LargePageArena.h"
#include "report/Report.h"

#include <array>
#include <cstddef>
#include <functional>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace trawlmeter::report {

// The lists of an engine's figures that are counted by value, each of which SQLite can also
// compute on its own by sorting.
enum class TalliedList { Dates, Statuses, Urls, Clients };

// Counts one table's records as they stream past, in hash tables instead of the sorts SQLite
// needs for each figure. Memory is bounded: when the tables would hold more than the budget, the
// largest is dropped and its list left over for SQLite, whose sorts spill to disk.
class VisitTally {
public:
    explicit VisitTally(std::size_t budgetBytes) : m_budget(budgetBytes) {}

    // Empty and NULL fields alike come as "". May throw std::bad_alloc.
    void add(std::string_view date, std::string_view time, std::string_view url,
             std::string_view client, std::string_view status);

    // Fills the visits, the hours and every list still held; gives back the lists dropped.
    [[nodiscard]] std::vector<TalliedList> finish(EngineFigures& figures) const;

private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };

    // What the budget sees of a list, whatever it counts: the memory its counts lie in.
    struct HeldList {
        LargePageArena memory;
        bool dropped = false;
        // Frees the list's memory and leaves it to SQLite.
        virtual void drop() = 0;

    protected:
        ~HeldList() = default;
    };

    // The counts of one list by value, in memory of their own so that dropping them frees it.
    template <class Value> struct Counts final : HeldList {
        std::unordered_map<
            std::pmr::string, Value, TextHash, std::equal_to<>,
            std::pmr::polymorphic_allocator<std::pair<const std::pmr::string, Value>>>
            byValue{&memory};
        // The entry found or made last: neighbouring records mostly share their date, their
        // status and often their URL. Entries of an unordered map keep their place.
        const std::pmr::string* recentKey = nullptr;
        Value* recent = nullptr;

        void drop() override {
            // The entries go before the memory they lie in.
            decltype(byValue)(&memory).swap(byValue);
            memory.release();
            dropped = true;
            recentKey = nullptr;
            recent = nullptr;
        }
    };

    struct DateCount {
        long long visits = 0;
        std::string earliest; // the smallest and largest time of the date
        std::string latest;
    };
    struct UrlCount {
        long long visits = 0;
        long long errors = 0; // answered with a 4xx or 5xx status
    };

    // The entry of `key`, made when new; nothing once the list is dropped.
    template <class Value> Value* entry(Counts<Value>& counts, std::string_view key);
    // The lists in the order of TalliedList.
    std::array<HeldList*, 4> lists() { return {&m_dates, &m_statuses, &m_urls, &m_clients}; }
    std::array<const HeldList*, 4> lists() const {
        return {&m_dates, &m_statuses, &m_urls, &m_clients};
    }
    std::size_t held() const;

    std::size_t m_budget;
    long long m_visits = 0;
    std::array<long long, 24> m_hours{};
    Counts<DateCount> m_dates;
    Counts<long long> m_statuses;
    Counts<UrlCount> m_urls;
    Counts<long long> m_clients;
};

} // namespace trawlmeter::report
