#pragma once

#include <cstdint>
#include <vector>

#include "frequency/transmission_counts.h"
#include "haplotype/indexed_phases.h"

namespace triotdt::frequency {

// The four sets of haplotype frequencies of a window, by haplotype index; each
// weighs the phase combinations of the families for one statistic. A
// haplotype of the window that occurs in no combination has frequency 0 in
// every set but equalFreq, and no statistic ever reads it.
struct FrequencySets {
    std::vector<double> haplotypeFreq;   // among the parents of the families of known phase (Pg)
    std::vector<double> equalFreq;       // 1 / haplotypeCount each (Pe)
    std::vector<double> phaseShareFreq;  // all families, each combination an equal share (Pc)
    std::vector<double> emFreq;          // the EM estimate (Pem)
};

// Everything the frequency stage gives for a window: the counts of the
// families of known phase (which the transmission report prints), the four
// frequency sets, and how the EM ended.
struct WindowFrequencies {
    CountTables counts;
    std::int32_t unambiguousFamilyCount = 0;
    FrequencySets sets;
    int emIterations = 0;
    bool emConverged = false;
};

WindowFrequencies estimateWindowFrequencies(const haplotype::IndexedPhases& phases);

// ((untransmitted + transmitted) / 4) / unambiguousFamilyCount, with 2 for the
// 4 on X (a mother's two haplotypes); all 0 when no family of the window has
// a known phase.
std::vector<double> haplotypeFrequencies(const CountTables& counts, std::int32_t unambiguousFamilyCount,
                                         double haplotypesPerFamily);

std::vector<double> equalFrequencies(const haplotype::IndexedPhases& phases);

// Every family spreads its four parental haplotypes (on X its mother's two)
// evenly over its observed phase combinations; the totals, divided by 4 (2)
// and by the number of families. All 0 when there are no families.
std::vector<double> phaseShareFrequencies(const haplotype::IndexedPhases& phases);

}  // namespace triotdt::frequency
