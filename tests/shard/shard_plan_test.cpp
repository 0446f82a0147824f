// The shard plan, the manifest and the checksum: the pieces the merge relies
// on to put the shards of a run back together.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "io/run_error.h"
#include "shard/checksum.h"
#include "shard/manifest.h"
#include "shard/shard_plan.h"
#include "support/random_trios.h"

namespace triotdt::shard {
namespace {

TEST(ShardNumber, ReadsKOfNAndRefusesTheRest) {
    const std::optional<ShardNumber> shard = parseShardNumber("3/8");
    ASSERT_TRUE(shard);
    EXPECT_EQ(shard->index, 3);
    EXPECT_EQ(shard->count, 8);
    for (const char* bad : {"0/8", "9/8", "3", "/8", "3/", "a/8", "3/8x", "-1/8", "1/100001"}) {
        EXPECT_FALSE(parseShardNumber(bad)) << bad;
    }
}

// Every window of the input, in report order, is in exactly one shard, and
// its number in the report order is what windowIndex says.
TEST(ShardPlan, ShardsCoverEveryWindowOnceInReportOrder) {
    for (const std::int32_t loci : {1, 3, 7, 8, 25}) {
        for (const std::int32_t shards : {1, 2, 3, 7, 30}) {
            test::SmallRandom random{static_cast<std::uint64_t>(loci * 100 + shards)};
            std::vector<double> work(static_cast<std::size_t>(loci));
            for (double& w : work) w = 1.0 + random.below(50);
            const std::vector<LocusRange> ranges = planShards(work, shards);
            ASSERT_EQ(ranges.size(), static_cast<std::size_t>(shards));

            std::vector<int> seen(static_cast<std::size_t>(loci * 7), 0);
            std::int64_t expectedIndex = 0;
            for (std::int32_t size = 1; size <= window::largestWindowSize(loci); ++size) {
                for (std::int32_t start = 1; start + size - 1 <= loci; ++start) {
                    EXPECT_EQ(window::windowIndex(loci, size, start), expectedIndex++);
                }
            }
            for (const LocusRange& range : ranges) {
                for (const window::WindowSpan& span : window::windowsStartingIn(range.first, range.last, loci)) {
                    for (std::int32_t start = span.firstStart; start <= span.lastStart; ++start) {
                        ++seen[static_cast<std::size_t>(window::windowIndex(loci, span.size, start))];
                    }
                }
            }
            seen.resize(static_cast<std::size_t>(expectedIndex));
            EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }))
                << loci << " loci, " << shards << " shards";
        }
    }
}

// No shard has more than its share of the work plus one locus's work.
TEST(ShardPlan, ShardsHaveAboutEqualWork) {
    test::SmallRandom random{7};
    std::vector<double> work(500);
    for (double& w : work) w = 1.0 + random.below(1000);
    const double total = std::accumulate(work.begin(), work.end(), 0.0);
    const double largest = *std::max_element(work.begin(), work.end());
    for (const std::int32_t shards : {2, 3, 7, 64}) {
        for (const LocusRange& range : planShards(work, shards)) {
            const double shardWork = std::accumulate(work.begin() + range.first - 1, work.begin() + range.last, 0.0);
            EXPECT_LE(std::abs(shardWork - total / shards), largest) << shards << " shards";
        }
    }
}

TEST(ShardPlan, WorkFollowsTheWindowsAndFamilies) {
    // Three loci: locus 1 begins windows of 1, 2 and 3 loci, locus 3 only one.
    const std::vector<double> work =
        workByFirstLocus(3, 10, [](std::int32_t, std::int32_t start) { return start == 2 ? 4 : 9; });
    ASSERT_EQ(work.size(), 3u);
    EXPECT_EQ(work[0], 3 * windowWork(9, 10));
    EXPECT_EQ(work[1], 2 * windowWork(4, 10));
    EXPECT_EQ(work[2], windowWork(9, 10));
    EXPECT_GT(windowWork(9, 10), windowWork(4, 10));
    EXPECT_EQ(lociRead(LocusRange{2, 3}, 20), (LocusRange{2, 9}));
    EXPECT_EQ(lociRead(LocusRange{2, 3}, 5), (LocusRange{2, 5}));
}

// The families counted one at a time, from their genotyped loci only, are
// those a window takes: genotyped at every one of its loci.
TEST(ShardPlan, WindowFamiliesAreThoseGenotypedAtEveryLocusOfTheWindow) {
    test::SmallRandom random{11};
    for (const std::int32_t loci : {1, 3, 7, 15}) {
        std::vector<std::vector<std::uint8_t>> genotyped(30);
        WindowFamilies families(loci);
        for (std::vector<std::uint8_t>& family : genotyped) {
            for (std::int32_t l = 0; l < loci; ++l) family.push_back(random.below(5) != 0 ? 1 : 0);
            families.addFamily(family);
        }
        for (std::int32_t size = 1; size <= window::largestWindowSize(loci); ++size) {
            for (std::int32_t start = 1; start + size - 1 <= loci; ++start) {
                const auto takesPart = [&](const std::vector<std::uint8_t>& family) {
                    return std::all_of(family.begin() + start - 1, family.begin() + start - 1 + size,
                                       [](std::uint8_t g) { return g != 0; });
                };
                EXPECT_EQ(families.families(size, start), std::count_if(genotyped.begin(), genotyped.end(), takesPart))
                    << loci << " loci, size " << size << " from " << start;
            }
        }
    }
}

Manifest sampleManifest() {
    Manifest m;
    m.version = "0.1.0";
    m.input = FileSum{1234, 0x0123456789abcdefu};
    m.shard = ShardNumber{2, 3};
    m.lociCount = 3;
    m.windows = {{1, 2, 2}, {2, 2, 1}, {3, 2, 1}};
    m.parts = {{"size1.tdtout.txt", FileSum{99, 42}}, {"preamble.console.txt", FileSum{0, 7}}};
    return m;
}

TEST(Manifest, ReadsBackWhatItWrites) {
    const Manifest m = sampleManifest();
    EXPECT_EQ(parseManifest(formatManifest(m), "m"), m);
}

TEST(Manifest, CutShortAnywhereIsRefused) {
    const std::string text = formatManifest(sampleManifest());
    for (std::size_t length = 0; length < text.size(); ++length) {
        EXPECT_THROW(parseManifest(text.substr(0, length), "m"), io::InputRefused) << length;
    }
    EXPECT_THROW(parseManifest(text + "part\tx\t1\t0000000000000000\n", "m"), io::InputRefused);
}

TEST(Checksum, DependsOnTheBytesOnlyNotOnThePieces) {
    std::string text;
    test::SmallRandom random{3};
    for (int i = 0; i < 1000; ++i) text += static_cast<char>(random.below(256));
    Checksum whole;
    whole.add(text);
    for (const std::size_t piece : {1u, 5u, 31u, 32u, 33u, 100u}) {
        Checksum pieces;
        for (std::size_t at = 0; at < text.size(); at += piece) pieces.add(std::string_view(text).substr(at, piece));
        EXPECT_EQ(pieces.value(), whole.value()) << piece;
    }
    // Any change of one byte, a byte more or a byte less is seen.
    for (const std::size_t at : {0u, 31u, 500u, 999u}) {
        std::string changed = text;
        changed[at] = static_cast<char>(changed[at] ^ 1);
        Checksum other;
        other.add(changed);
        EXPECT_NE(other.value(), whole.value()) << at;
    }
    Checksum shorter, longer;
    shorter.add(std::string_view(text).substr(0, 999));
    longer.add(text + '\0');
    EXPECT_NE(shorter.value(), whole.value());
    EXPECT_NE(longer.value(), whole.value());
    std::uint64_t back = 0;
    ASSERT_TRUE(parseHexChecksum(hexChecksum(whole.value()), back));
    EXPECT_EQ(back, whole.value());
}

}  // namespace
}  // namespace triotdt::shard
