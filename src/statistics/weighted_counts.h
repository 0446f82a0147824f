#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "frequency/frequency_sets.h"
#include "haplotype/indexed_phases.h"
#include "statistics/five_statistics.h"

namespace triotdt::statistics {

// The four weighted statistics, in the order Pg, Pe, Pc, Pem: each weighs the
// phase combinations of a family by the product of their four haplotype
// frequencies under haplotypeFreq, equalFreq, phaseShareFreq and emFreq.
constexpr std::size_t weightedSetCount = 4;
using FourValues = std::array<double, weightedSetCount>;
// The statistic of each set.
inline constexpr std::array<Statistic, weightedSetCount> weightedStatistic = {Statistic::pg, Statistic::pe,
                                                                              Statistic::pc, Statistic::pem};

// Each combination's share of its family's weight under each frequency set,
// for the observed and for the exchanged version of every family (laid out as
// the combinations are): the product of its four frequencies divided by the
// family's total over its combinations. A family whose total is not positive
// counts for nothing under that set: its shares are 0, and adding 0 leaves
// every count as it was.
struct PhaseShares {
    std::vector<FourValues> shares;
};

PhaseShares computePhaseShares(const haplotype::IndexedPhases& phases, const frequency::FrequencySets& sets);

// The weighted homozygote counts. A parent whose two haplotypes are the same
// belongs to a family of known phase (an ambiguous locus makes both parents
// heterozygous), and such a family's one combination has share exactly 1
// under a set whose weight is positive, 0 otherwise. So these counts are
// whole numbers, the same in any order of addition, and the same for both
// versions of a family (exchanging identical haplotypes changes nothing),
// unless a family's weight is positive in one version and not in the other:
// those few families are kept aside and applied per data set.
// (The counting of one data set at a time, which the lane kernels are held
// to, is the tests' reference: tests/support/weighted_counts_reference.h.)
struct HomozygoteCounts {
    struct Change {
        std::int32_t family = 0;  // its place in the input, where its exchange bit is
        std::int32_t haplotype = 0;
        FourValues difference{};  // exchanged minus observed
    };
    std::vector<FourValues> observed;  // with every family observed
    std::vector<Change> changes;
};

HomozygoteCounts countHomozygotes(const haplotype::IndexedPhases& phases, const PhaseShares& shares);

}  // namespace triotdt::statistics
