#pragma once

#include <cstddef>

// The test program replaces the global operator new so that a test can see
// the largest single allocation made between these two calls (it tells
// whether reading reserved room for what a count in the input claims).
void startWatchingAllocations();
std::size_t stopWatchingAllocations();
