#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "haplotype/indexed_phases.h"
#include "resampling/exchange_draws.h"
#include "resampling/worker_pool.h"
#include "statistics/window_model.h"

namespace triotdt::resampling {

// A replicate statistic within this distance of the observed one is a tie.
// It is the single-precision number nearest to 1.0E-6, used as a double.
constexpr double tieTolerance = 9.999999974752427e-07;

// How much one replicate adds to the count behind a p-value: one half for a
// tie (either side), otherwise one when it is greater than the observed value.
double exceedanceScore(double replicate, double observed);

// Resamples the window with the next replicateCount × familyCount decisions of
// `draws`: in each replicate, the families drawn for it have both parents'
// transmitted and untransmitted alleles exchanged at every locus where their
// phase is resolved; the frequency sets stay those of the observed data. The
// replicates are shared out among the threads of `pool`; the result does not
// depend on how many there are. Returns the p-values of the five statistics.
// When `stop` is given and becomes non-zero, the replicates end within a few
// dozen and the values returned mean nothing: the run is being given up.
statistics::FiveStatistics resampleWindow(const statistics::WindowModel& model,
                                          const statistics::FiveStatistics& observed, ExchangeDraws& draws,
                                          WorkerPool& pool, const std::atomic<int>* stop = nullptr);

// Uses up the decisions of a window that is not analysed.
void skipWindowDraws(ExchangeDraws& draws);

}  // namespace triotdt::resampling
