#pragma once

#include <cstddef>
#include <memory_resource>
#include <vector>

namespace trawlmeter {

// Memory for a table that grows once and is then read at random, such as a hash table of counts.
// Allocation only bumps a pointer; nothing is given back before release() or destruction. After
// a first small block, blocks are whole 2 MiB pages that the kernel is asked to back with huge
// pages: one page fault instead of 512, which matters where faults are costly, as in virtual
// machines. Throws std::bad_alloc when the system has no memory to give.
class LargePageArena : public std::pmr::memory_resource {
public:
    static constexpr std::size_t kFirstBlock = std::size_t{64} << 10;
    static constexpr std::size_t kLargePage = std::size_t{2} << 20;

    LargePageArena() = default;
    LargePageArena(const LargePageArena&) = delete;
    LargePageArena& operator=(const LargePageArena&) = delete;
    ~LargePageArena() override { release(); }

    // Bytes taken from the system.
    std::size_t held() const { return m_held; }
    // Gives every block back; what was allocated from them must no longer be used.
    void release() noexcept;

private:
    struct Block {
        void* start;
        std::size_t size;
    };

    void* do_allocate(std::size_t bytes, std::size_t alignment) override;
    void do_deallocate(void*, std::size_t, std::size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }

    std::vector<Block> m_blocks;
    std::size_t m_held = 0;
    char* m_next = nullptr; // the free part of the newest block
    char* m_end = nullptr;
};

} // namespace trawlmeter
