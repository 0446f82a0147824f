#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "exchange/exchange_bits.h"
#include "exchange/exchange_source.h"
#include "haplotype/indexed_phases.h"
#include "statistics/window_model.h"

namespace triotdt::resampling {

// A replicate statistic within this distance of the observed one is a tie.
// It is the single-precision number nearest to 1.0E-6, used as a double.
constexpr double tieTolerance = 9.999999974752427e-07;

// How much one replicate adds to the count behind a p-value: one half for a
// tie (either side), otherwise one when it is greater than the observed value.
double exceedanceScore(double replicate, double observed);

// What one thread scores a window's replicates in: the statistics' tables,
// the exchange source and a block of its bits, made once for the window at
// `place` and reused for any of its replicates, so that scoring them
// allocates nothing.
struct ReplicateBuffers {
    ReplicateBuffers(const statistics::WindowModel& model, const exchange::ExchangePlace& place);

    exchange::ExchangePlace place;
    statistics::StatisticsScratch scratch;
    exchange::ExchangeSource source;
    exchange::ExchangeBlock block;
};

// Replicates [first, last) of the window of `buffers`: in each replicate, the
// families its exchange bits name have both parents' transmitted and
// untransmitted alleles exchanged at every locus where their phase is
// resolved; the frequency sets stay those of the observed data. Returns the
// sums of their exceedance scores, which are multiples of one half far below
// 2^53: added up in any order, the scores of any split of a window's
// replicates give the same p-values. When `stop` is given and becomes
// non-zero, the replicates end within a few dozen and the sums mean nothing:
// the run is being given up. `kept`, when given, receives the five
// statistics of each replicate r at kept[r − first] (for family-wise
// p-values).
statistics::FiveStatistics scoreReplicates(const statistics::WindowModel& model,
                                           const statistics::FiveStatistics& observed, std::int32_t first,
                                           std::int32_t last, ReplicateBuffers& buffers,
                                           const std::atomic<int>* stop = nullptr,
                                           statistics::FiveStatistics* kept = nullptr);

// The p-values from the score sums of all replicates.
statistics::FiveStatistics pValuesOf(const statistics::FiveStatistics& scoreSums, std::int32_t replicateCount);

// How many replicates of the window are worth one task of their own: a few
// hundred microseconds of work, and a multiple of the replicates scored side
// by side.
std::int32_t replicatesPerTask(const statistics::WindowModel& model);

}  // namespace triotdt::resampling
