#pragma once

#include <cstddef>

// The test program replaces the global operator new so that a test can see
// the allocations made between these two calls: the largest (it tells
// whether reading reserved room for what a count in the input claims) and
// how many (none, in a loop that must not allocate).
void startWatchingAllocations();
std::size_t stopWatchingAllocations();  // the largest
std::size_t allocationsWatched();       // how many, in the last watch
