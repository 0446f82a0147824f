#include "driver/shard_run.h"

#include <algorithm>
#include <optional>
#include <ostream>
#include <span>

#include "driver/analysis.h"
#include "driver/interruption.h"
#include "input/child_sexes.h"
#include "input/family_input.h"
#include "io/file_names.h"
#include "io/output_unit.h"
#include "io/run_error.h"
#include "io/text_reader.h"
#include "output/familywise_file.h"
#include "output/results_table.h"
#include "report/reports.h"
#include "shard/checksum.h"
#include "shard/shard_parts.h"

namespace triotdt::driver {
namespace {

using haplotype::FamilyData;
using shard::LocusRange;

using io::inputFileName;

// What one pass over every record finds before a shard knows its loci: the
// missing genotypes (an allele 0) its console counts before the first
// heading, and the work of the windows beginning at each locus, by the
// families taking part in each, which the shards are balanced by. The input
// is refused, with the whole run's message, when a whole run would refuse it.
struct InputSurvey {
    std::int64_t missingGenotypes = 0;
    std::vector<double> work;
};

// Reads every record after `head` (where readFamilyHead left `reader`); the
// work is that of the windows of `sizes` and the first batch of replicates.
InputSurvey surveyRecords(io::TextReader& reader, const FamilyData& head, window::WindowSizes sizes,
                          const resampling::ResamplingRule& rule) {
    shard::WindowFamilies families(head.lociCount);
    const input::InputSurvey survey = input::surveyRecords(
        reader, head, [&families](std::span<const std::uint8_t> genotyped) { families.addFamily(genotyped); });
    return {survey.missingGenotypes,
            shard::workByFirstLocus(
                std::max(head.lociCount, 0), resampling::firstBatchEnd(rule, head.replicateCount),
                [&families](std::int32_t size, std::int32_t start) { return families.families(size, start); }, sizes)};
}

// The head of the input and, on X, its children's sexes, which say which
// families take part where.
FamilyData readHeadAndSexes(io::TextReader& reader) {
    FamilyData head = input::readFamilyHead(reader);
    input::readChildSexesBesideInput(head);
    return head;
}

// What a shard records of tdtsex.tsv: its sum on X, so that shards of
// another sexes file are not merged with its own.
std::optional<shard::FileSum> sexesSum(const FamilyData& head) {
    if (head.inheritance != haplotype::Inheritance::xLinked) return std::nullopt;
    return shard::sumFile(io::sexFileName);
}

// The input changed between two readings of the same shard.
[[noreturn]] void refuseChangedInput() {
    throw io::InputRefused(std::string(inputFileName) +
                           ": the file changed while the shard read it; run the shard again\n");
}

// The family data of the loci `held` only, numbered from 1, read from the
// input again, which the first reading found to have the head `surveyed` and
// to be usable.
FamilyData readHeldLoci(const FamilyData& surveyed, LocusRange held) {
    io::TextReader reader(io::openExisting(inputFileName), inputFileName);
    const FamilyData head = input::readFamilyHead(reader);
    if (head.familyCount != surveyed.familyCount || head.replicateCount != surveyed.replicateCount ||
        head.lociCount != surveyed.lociCount || head.alleleCount != surveyed.alleleCount) {
        refuseChangedInput();
    }
    FamilyData data = input::readFamilyLoci(reader, head, held.first, held.last);
    data.inheritance = surveyed.inheritance;
    data.childSex = surveyed.childSex;
    if (!input::findUnusableInput(data).empty()) refuseChangedInput();
    return data;
}

}  // namespace

void runShard(const ShardOptions& options, std::ostream& out) {
    const shard::FileSum inputSum = shard::sumFile(inputFileName);
    io::TextReader reader(io::openExisting(inputFileName), inputFileName);
    const FamilyData head = readHeadAndSexes(reader);
    const InputSurvey survey = surveyRecords(reader, head, options.sizes, options.rule);
    const std::int32_t lociCount = std::max(head.lociCount, 0);
    const LocusRange range =
        shard::planShards(survey.work, options.shard.count)[static_cast<std::size_t>(options.shard.index - 1)];
    const LocusRange held = shard::lociRead(range, lociCount);
    const FamilyData data = readHeldLoci(head, held);
    const std::int64_t missingGenotypes = survey.missingGenotypes;

    // The table's rows name the markers when tdtloci.tsv lies beside the input.
    const LociBesideInput loci = readLociBesideInput(&head);

    shard::Manifest manifest{shard::programVersion(),
                             inputSum,
                             sexesSum(head),
                             options.shard,
                             lociCount,
                             options.sizes,
                             options.rule,
                             window::windowsStartingIn(range.first, range.last, lociCount, options.sizes),
                             {}};
    const std::string folder = options.folder.empty() ? shard::defaultShardFolder(options.shard) : options.folder;
    shard::ShardWriter writer(folder, manifest);
    if (!loci.text.empty()) writer.copyLociTable(loci.text);
    report::writeInputLines(writer.preamble(), head, missingGenotypes);
    if (options.rule.counterBased()) report::writeResamplingLine(writer.preamble(), options.rule, head.replicateCount);

    const window::WindowSelection selection{lociCount, manifest.windows, held.first};
    // With family-wise p-values the table parts hold each window's reference
    // too, and the shard's minima are a part of their own.
    const bool familyWise = options.rule.familyWise;
    std::optional<output::FamilyWiseHead> familyWiseHead;
    std::optional<familywise::ReplicateMinima> minima;
    if (familyWise) {
        familyWiseHead = driver::familyWiseHead(head, options.rule, options.sizes);
        minima.emplace(familyWiseHead->replicateCount);
    }
    std::int64_t windows = 0;
    try {
        writeWindows(
            data, selection, options.rule, options.threads,
            [&](std::int32_t size) {
                using shard::PartKind;
                return report::ReportUnits{&writer.part(PartKind::console, size),
                                           &writer.part(PartKind::transmission, size),
                                           &writer.part(PartKind::results, size)};
            },
            [&](const window::WindowResult& window) {
                io::OutputUnit& table = writer.part(shard::PartKind::table, window.size);
                output::appendTableRow(table.text(), window, loci.rows, options.rule, familyWise);
                table.flushIfLarge();
                ++windows;
            },
            nullptr, minima ? &*minima : nullptr);
    } catch (RunInterrupted& stopped) {
        stopped.shard = true;
        throw;
    }
    if (familyWise) {
        writer.addPart(shard::familyWisePartName,
                       output::formatFamilyWiseHead(*familyWiseHead, minima->minima()) + output::familyWiseEnd);
    }
    writer.finish();
    out << "shard " << options.shard.index << " of " << options.shard.count << ": "
        << (range.empty() ? std::string("no loci")
                          : "windows from loci " + std::to_string(range.first) + " to " + std::to_string(range.last))
        << ", " << windows << " windows; parts and manifest in " << folder << "/\n";
}

void printShardPlan(std::int32_t shardCount, window::WindowSizes sizes, const resampling::ResamplingRule& rule,
                    std::ostream& out, std::ostream& notes) {
    io::TextReader reader(io::openExisting(inputFileName), inputFileName);
    const FamilyData head = readHeadAndSexes(reader);
    const std::vector<double> work = surveyRecords(reader, head, sizes, rule).work;
    const std::int32_t lociCount = std::max(head.lociCount, 0);
    const int bytesPerAllele = haplotype::AlleleTable(input::largestAlleleCount(head)).bytesPerAllele();
    out << "shard\tfirst_locus\tlast_locus\twindows\twork\tmem_mb\n";
    std::int32_t k = 0;
    std::int32_t empty = 0;
    for (const LocusRange& range : shard::planShards(work, shardCount)) {
        double shardWork = 0.0;
        for (std::int32_t l = range.first; l <= range.last; ++l) shardWork += work[static_cast<std::size_t>(l - 1)];
        const std::int64_t windows =
            window::countWindows(window::windowsStartingIn(range.first, range.last, lociCount, sizes));
        out << ++k << '\t';
        // An empty shard has no first or last locus: the cells stay empty, as
        // the results table leaves a value it does not have.
        if (range.empty()) {
            out << "\t\t";
            ++empty;
        } else {
            out << range.first << '\t' << range.last << '\t';
        }
        out << windows << '\t' << static_cast<std::int64_t>(shardWork) << '\t'
            << shard::memoryEstimate(head.familyCount, lociCount, range, bytesPerAllele) << '\n';
    }
    if (empty > 0) {
        notes << "triotdt: " << empty << " of " << shardCount
              << " shards are empty, with no first or last locus (the input has " << lociCount
              << (lociCount == 1 ? " locus" : " loci") << "); they analyse nothing, but the merge needs them all\n";
    }
}

}  // namespace triotdt::driver
