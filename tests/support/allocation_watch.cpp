#include "support/allocation_watch.h"

#include <atomic>
#include <cstdlib>
#include <new>

// Kept in a file of its own so that the compiler does not inline the
// replacement operators into code that it then judges mismatched.
namespace {
std::atomic<bool> watching{false};
std::atomic<std::size_t> largest{0};
std::atomic<std::size_t> count{0};
}  // namespace

void startWatchingAllocations() {
    largest = 0;
    count = 0;
    watching = true;
}

std::size_t allocationsWatched() { return count; }

std::size_t stopWatchingAllocations() {
    watching = false;
    return largest;
}

void* operator new(std::size_t size) {
    if (watching.load(std::memory_order_relaxed)) {
        count.fetch_add(1, std::memory_order_relaxed);
        std::size_t seen = largest.load(std::memory_order_relaxed);
        while (size > seen && !largest.compare_exchange_weak(seen, size)) {
        }
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
