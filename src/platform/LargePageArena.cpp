#include "platform/LargePageArena.h"

#include <cstdint>
#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

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

#ifdef _WIN32
// `size` bytes at a multiple of `alignment` (a power of two). Windows gives large pages only to
// accounts with the right to lock memory, so these are plain pages; its blocks start at a
// multiple of 64 KiB, and a larger alignment is found by reserving more and taking the aligned
// part, which only a whole reservation can be given back as.
void* mapAligned(std::size_t size, std::size_t alignment) {
    constexpr int kTries = 8;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        char* const first =
            static_cast<char*>(VirtualAlloc(nullptr, size + alignment, MEM_RESERVE, PAGE_NOACCESS));
        if (!first) {
            break;
        }
        char* const start = first + misalignment(first, alignment);
        (void)VirtualFree(first, 0, MEM_RELEASE);
        // Another thread may take the place in between; then the search starts again.
        if (void* block = VirtualAlloc(start, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)) {
            return block;
        }
    }
    throw std::bad_alloc();
}

void unmap(void* block, std::size_t) {
    (void)VirtualFree(block, 0, MEM_RELEASE);
}

void adviseLargePages(void*, std::size_t) {}
#else
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

void unmap(void* block, std::size_t size) {
    (void)::munmap(block, size);
}

// Only advice: without huge pages the block works as well, with more faults.
void adviseLargePages(void* block, std::size_t size) {
    (void)::madvise(block, size, MADV_HUGEPAGE);
}
#endif

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
            adviseLargePages(block, size);
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
        unmap(block.start, block.size);
    }
    m_blocks.clear();
    m_held = 0;
    m_next = m_end = nullptr;
}

} // namespace trawlmeter
