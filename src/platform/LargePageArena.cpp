#include "platform/LargePageArena.h"

#include <cstdint>
#include <new>

#include <sys/mman.h>

namespace trawlmeter {
namespace {

std::size_t roundedUp(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

// How many bytes lie between `at` and the next address that is a multiple of `alignment`.
std::size_t misalignment(const char* at, std::size_t alignment) {
    const auto address = reinterpret_cast<std::uintptr_t>(at);
    return roundedUp(address, alignment) - address;
}

// `size` bytes at a multiple of `alignment` (a power of two, a multiple of the page size).
void* mapAligned(std::size_t size, std::size_t alignment) {
    const std::size_t spare = alignment > 4096 ? alignment : 0;
    void* mapped =
        ::mmap(nullptr, size + spare, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    char* const first = static_cast<char*>(mapped);
    char* const start = first + misalignment(first, alignment);
    // What lies before and after the aligned block goes back at once.
    if (start > first) {
        (void)::munmap(first, static_cast<std::size_t>(start - first));
    }
    if (const std::size_t tail = spare - static_cast<std::size_t>(start - first); tail > 0) {
        (void)::munmap(start + size, tail);
    }
    return start;
}

} // namespace

void* LargePageArena::do_allocate(std::size_t bytes, std::size_t alignment) {
    char* at = m_next ? m_next + misalignment(m_next, alignment) : nullptr;
    if (!at || at > m_end || bytes > static_cast<std::size_t>(m_end - at)) {
        if (alignment > kLargePage) {
            throw std::bad_alloc();
        }
        const bool first = m_blocks.empty() && bytes <= kFirstBlock;
        const std::size_t size = first ? kFirstBlock : roundedUp(bytes, kLargePage);
        m_blocks.reserve(m_blocks.size() + 1); // so that keeping the block cannot throw
        void* block = mapAligned(size, first ? 4096 : kLargePage);
        if (!first) {
            // Only advice: without huge pages the block works as well, with more faults.
            (void)::madvise(block, size, MADV_HUGEPAGE);
        }
        m_blocks.push_back({block, size});
        m_held += size;
        at = static_cast<char*>(block);
        m_end = at + size;
    }
    m_next = at + bytes;
    return at;
}

void LargePageArena::release() noexcept {
    for (const Block& block : m_blocks) {
        (void)::munmap(block.start, block.size);
    }
    m_blocks.clear();
    m_held = 0;
    m_next = m_end = nullptr;
}

} // namespace trawlmeter
