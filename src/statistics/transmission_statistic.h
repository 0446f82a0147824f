#pragma once

namespace triotdt::statistics {

// The statistic behind all five is, over the haplotypes h in code order with
// D(h) = untransmitted + transmitted − 2 × homozygous > 0 (the parents that
// carry h once), the sum of (transmitted − untransmitted)² / D(h).

// One haplotype's term from its difference transmitted − untransmitted and the
// number D(h) of parents carrying it once (0 when D(h) is not positive).
inline double transmissionTerm(double difference, double carriedOnce) {
    return carriedOnce > 0 ? difference * difference / carriedOnce : 0.0;
}

// One haplotype's term from its three counts.
inline double transmissionStatisticTerm(double transmitted, double untransmitted, double homozygous) {
    return transmissionTerm(transmitted - untransmitted, (untransmitted + transmitted) - 2.0 * homozygous);
}

}  // namespace triotdt::statistics
