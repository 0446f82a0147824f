// The lane kernels against the one-data-set-at-a-time counting, bit for bit,
// for every kernel this processor runs: a reordered or a merged addition
// shows up as a differing last bit.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "frequency/frequency_sets.h"
#include "haplotype/haplotype_code.h"
#include "haplotype/indexed_phases.h"
#include "haplotype/phasing.h"
#include "statistics/lane_statistics.h"
#include "statistics/window_model.h"
#include "support/random_trios.h"
#include "support/test_only.h"
#include "support/weighted_counts_reference.h"

namespace triotdt::statistics {
namespace {

void compareKernels(const haplotype::FamilyData& data, std::uint64_t seed) {
    test::SmallRandom random{seed};
    const auto kernels = laneKernels.runnable();
    for (std::int32_t size = 1; size <= std::min(data.lociCount, 7); ++size) {
        for (std::int32_t start = 1; start + size - 1 <= data.lociCount; ++start) {
            SCOPED_TRACE("window " + std::to_string(start) + "-" + std::to_string(start + size - 1));
            haplotype::Window window;
            window.size = size;
            window.start = start;
            window.alleleCount.assign(data.alleleCount.begin() + start - 1,
                                      data.alleleCount.begin() + start - 1 + size);
            window.haplotypeCount = static_cast<std::int32_t>(haplotype::countHaplotypes(window.alleleCount));
            const haplotype::IndexedPhases phases =
                haplotype::indexPhases(haplotype::phaseFamilies(data, window), window.haplotypeCount);
            const frequency::WindowFrequencies frequencies = frequency::estimateWindowFrequencies(phases);
            const PhaseShares shares = computePhaseShares(phases, frequencies.sets);
            HomozygoteCounts homozygotes = countHomozygotes(phases, shares);
            // Families whose homozygous parents count differently once
            // exchanged are rare (an underflowing weight); add some by hand.
            for (std::int32_t f = 0; f < phases.familyCount(); f += 3) {
                const haplotype::Combination& c = phases.observedOf(f)[0];
                if (phases.phaseCount[static_cast<std::size_t>(f)] != 1 || c.fatherTransmit != c.fatherUntransmit)
                    continue;
                homozygotes.changes.push_back({f, c.fatherTransmit, {-1.0, 0.0, -0.25, -1.0}});
            }
            const LaneModel model = describeForLanes(phases, shares, homozygotes);
            LaneScratch scratch(phases.indexCount(), static_cast<std::size_t>(phases.familyCount()));
            const WindowModel windowModel = buildWindowModel(phases, frequencies.sets);
            StatisticsScratch windowScratch(windowModel);

            for (const std::size_t sets : {laneCount, std::size_t{3}}) {
                std::vector<std::vector<std::uint64_t>> bits(sets);
                std::vector<exchange::ExchangeBits> exchanges;
                std::vector<FourValues> expected;
                for (std::size_t j = 0; j < sets; ++j) {
                    std::vector<std::uint8_t> exchanged(static_cast<std::size_t>(data.familyCount));
                    for (auto& e : exchanged) e = static_cast<std::uint8_t>(j == 0 ? 0 : random.below(2));
                    bits[j] = test::packExchanges(exchanged);
                    bits[j].push_back(0);  // room for no families
                    exchanges.emplace_back(bits[j].data());
                    expected.push_back(
                        test::weightedStatisticsOneAtATime(phases, shares, homozygotes, exchanges.back()));
                }
                // Punamb in lanes, against one data set at a time.
                std::vector<double> punamb(sets);
                knownPhaseStatistics(windowModel, exchanges, windowScratch, punamb);
                for (std::size_t j = 0; j < sets; ++j) {
                    const double alone = dataSetStatistics(windowModel, exchanges[j])[indexOf(Statistic::punamb)];
                    EXPECT_EQ(std::memcmp(&punamb[j], &alone, sizeof alone), 0) << "Punamb, data set " << j;
                }
                for (const auto& kernel : kernels) {
                    SCOPED_TRACE(kernel.name);
                    std::vector<FourValues> actual(sets);
                    weightedStatisticsInLanes(model, exchanges, scratch, actual, kernel.kernel);
                    EXPECT_EQ(std::memcmp(actual.data(), expected.data(), sets * sizeof(FourValues)), 0);
                    EXPECT_EQ(actual, expected);
                }
            }
        }
    }
}

TEST(LaneStatistics, EveryKernelGivesTheBitsOfOneDataSetAtATime) {
    compareKernels(test::randomTrios(21, 70, {2, 2, 2, 2, 2, 2, 2, 2}), 31);
    compareKernels(test::randomTrios(22, 30, {3, 4, 2, 5, 3, 2, 4}), 32);
    compareKernels(test::randomTrios(23, 2, {2, 3, 2}), 33);
}

}  // namespace
}  // namespace triotdt::statistics
