#pragma once

// Pg, Pe, Pc and Pem of one data set at a time, adding as the lanes must:
// family by family, combination by combination, the father before the
// mother, each count from +0.0. The program works out every data set, the
// observed one included, in lanes (statistics/lane_statistics.h); this is
// the reference they are held to, bit for bit.

#include <vector>

#include "exchange/exchange_bits.h"
#include "haplotype/indexed_phases.h"
#include "statistics/transmission_statistic.h"
#include "statistics/weighted_counts.h"

namespace triotdt::test {

inline statistics::FourValues weightedStatisticsOneAtATime(const haplotype::IndexedPhases& phases,
                                                           const statistics::PhaseShares& shares,
                                                           const statistics::HomozygoteCounts& homozygotes,
                                                           exchange::ExchangeBits exchanges) {
    using statistics::FourValues;
    const auto add = [](FourValues& total, const FourValues& share) {
        for (std::size_t s = 0; s < total.size(); ++s) total[s] += share[s];
    };
    std::vector<FourValues> transmit(phases.indexCount()), untransmit(phases.indexCount());
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        const auto i = static_cast<std::size_t>(f);
        const std::size_t count = phases.firstCombination[i + 1] - phases.firstCombination[i];
        const std::size_t start =
            phases.firstCombination[i] +
            phases.versionOffset(exchanges.exchanged(static_cast<std::size_t>(phases.inputFamily[i])) != 0);
        for (std::size_t k = start; k < start + count; ++k) {
            const haplotype::Combination& c = phases.combinations[k];
            add(transmit[static_cast<std::size_t>(c.fatherTransmit)], shares.shares[k]);
            add(transmit[static_cast<std::size_t>(c.motherTransmit)], shares.shares[k]);
            add(untransmit[static_cast<std::size_t>(c.fatherUntransmit)], shares.shares[k]);
            add(untransmit[static_cast<std::size_t>(c.motherUntransmit)], shares.shares[k]);
        }
    }
    std::vector<FourValues> homozygous = homozygotes.observed;
    for (const statistics::HomozygoteCounts::Change& change : homozygotes.changes) {
        if (exchanges.exchanged(static_cast<std::size_t>(change.family))) {
            add(homozygous[static_cast<std::size_t>(change.haplotype)], change.difference);
        }
    }
    FourValues values{};
    for (std::size_t h = 0; h < transmit.size(); ++h) {
        for (std::size_t s = 0; s < values.size(); ++s) {
            statistics::addTransmissionTerm(values[s], transmit[h][s], untransmit[h][s], homozygous[h][s]);
        }
    }
    return values;
}

}  // namespace triotdt::test
