#include "driver/shard_run.h"

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <ostream>
#include <span>

#include "driver/analysis.h"
#include "driver/interruption.h"
#include "driver/run_command.h"
#include "input/family_input.h"
#include "io/file_descriptor.h"
#include "io/file_names.h"
#include "io/file_text.h"
#include "io/output_unit.h"
#include "io/run_error.h"
#include "io/text_reader.h"
#include "output/loci_table.h"
#include "output/results_table.h"
#include "report/reports.h"
#include "shard/checksum.h"
#include "shard/shard_parts.h"

namespace triotdt::driver {
namespace {

using haplotype::FamilyData;
using shard::LocusRange;

using io::inputFileName;

// An empty table as wide as the loci of `data` need.
haplotype::AlleleTable largestAlleleTable(const FamilyData& data) {
    const auto largest = std::max_element(data.alleleCount.begin(), data.alleleCount.end());
    return haplotype::AlleleTable(largest == data.alleleCount.end() ? 1 : *largest);
}

// What one pass over every record finds before a shard knows its loci: the
// problems a whole run would find, the missing genotypes (an allele 0) its
// console counts before the first heading, and the families taking part in
// each window, which the shards are balanced by. Nothing of the records is
// kept but these counts.
struct InputSurvey {
    input::InputProblems problems;
    std::int64_t missingGenotypes = 0;
    shard::WindowFamilies families;
};

// Reads every record after `head` (where readFamilyHead left `reader`), and
// refuses the input, with the whole run's message, when a whole run would.
InputSurvey surveyRecords(io::TextReader& reader, const FamilyData& head) {
    InputSurvey survey{input::findUnusableCounts(head), 0, shard::WindowFamilies(head.lociCount)};
    std::vector<std::uint8_t> genotyped(static_cast<std::size_t>(std::max(head.lociCount, 0)));
    input::readEachTrio(reader, head, [&](std::int32_t family, const input::TrioRecords& trio) {
        input::addUnusableGenotypes(survey.problems, head, family, trio);
        survey.missingGenotypes += input::countMissingGenotypes(trio);
        for (std::size_t l = 0; l < genotyped.size(); ++l) {
            const std::size_t a = 2 * l, b = a + 1;
            genotyped[l] = trio.father[a] != 0 && trio.father[b] != 0 && trio.mother[a] != 0 && trio.mother[b] != 0 &&
                           trio.child[a] != 0 && trio.child[b] != 0;
        }
        survey.families.addFamily(genotyped);
    });
    if (!survey.problems.empty()) {
        throw io::InputRefused(input::describeUnusableInput(inputFileName, survey.problems));
    }
    return survey;
}

// The input changed between two readings of the same shard.
[[noreturn]] void refuseChangedInput() {
    throw io::InputRefused(std::string(inputFileName) +
                           ": the file changed while the shard read it; run the shard again\n");
}

// The family data of the loci of `keep` only, numbered from 1, read from the
// input again, which the first reading found to have the head `surveyed` and
// to be usable.
FamilyData readLociOfInput(const FamilyData& surveyed, LocusRange keep) {
    io::TextReader reader(io::openExisting(inputFileName), inputFileName);
    const FamilyData head = input::readFamilyHead(reader);
    if (head.familyCount != surveyed.familyCount || head.replicateCount != surveyed.replicateCount ||
        head.lociCount != surveyed.lociCount || head.alleleCount != surveyed.alleleCount) {
        refuseChangedInput();
    }
    FamilyData data = head;
    data.lociCount = keep.empty() ? 0 : keep.last - keep.first + 1;
    data.alleleCount.assign(head.alleleCount.begin() + (keep.first - 1),
                            head.alleleCount.begin() + (keep.first - 1 + data.lociCount));
    if (keep.empty() || data.familyCount <= 0) return data;
    for (haplotype::AlleleTable* table : {&data.fatherAlleles, &data.motherAlleles, &data.childAlleles}) {
        *table = largestAlleleTable(data);
    }
    const auto keepLoci = [&](const std::vector<std::int32_t>& record, haplotype::AlleleTable& table) {
        table.append(std::span(record).subspan(2 * static_cast<std::size_t>(keep.first - 1),
                                               2 * static_cast<std::size_t>(data.lociCount)));
    };
    input::readEachTrio(reader, head, [&](std::int32_t, const input::TrioRecords& trio) {
        keepLoci(trio.father, data.fatherAlleles);
        keepLoci(trio.mother, data.motherAlleles);
        keepLoci(trio.child, data.childAlleles);
    });
    return data;
}

// The work of the windows beginning at each locus of the input whose head is
// `head`, by the families taking part in each.
std::vector<double> workOf(const FamilyData& head, const shard::WindowFamilies& families) {
    return shard::workByFirstLocus(
        std::max(head.lociCount, 0), head.replicateCount,
        [&families](std::int32_t size, std::int32_t start) { return families.families(size, start); });
}

}  // namespace

void runShard(const ShardOptions& options, std::ostream& out) {
    catchInterruptions();
    const shard::FileSum inputSum = shard::sumFile(inputFileName);
    io::TextReader reader(io::openExisting(inputFileName), inputFileName);
    const FamilyData head = input::readFamilyHead(reader);
    const InputSurvey survey = surveyRecords(reader, head);
    const std::int32_t lociCount = std::max(head.lociCount, 0);
    const LocusRange range = shard::planShards(workOf(head, survey.families),
                                               options.shard.count)[static_cast<std::size_t>(options.shard.index - 1)];
    const LocusRange held = shard::lociRead(range, lociCount);
    const FamilyData data = readLociOfInput(head, held);
    if (!input::findUnusableInput(data).empty()) refuseChangedInput();
    const std::int64_t missingGenotypes = survey.missingGenotypes;

    // The table's rows name the markers when tdtloci.tsv lies beside the input.
    std::vector<output::LocusRow> loci;
    std::string lociText;
    if (::access(output::lociFileName, F_OK) == 0) {
        lociText = io::readFileText(output::lociFileName);
        loci = output::parseLociTable(lociText, output::lociFileName);
        output::refuseSeveralChromosomes(loci, output::lociFileName);
        checkLociMatchInput(loci, head);
    }

    shard::Manifest manifest{shard::programVersion(),
                             inputSum,
                             options.shard,
                             lociCount,
                             window::windowsStartingIn(range.first, range.last, lociCount),
                             {}};
    const std::string folder = options.folder.empty() ? shard::defaultShardFolder(options.shard) : options.folder;
    shard::ShardWriter writer(folder, manifest);
    if (!lociText.empty()) writer.copyLociTable(lociText);
    if (missingGenotypes > 0) report::writeMissingGenotypesLine(writer.preamble(), missingGenotypes);

    const window::WindowSelection selection{lociCount, manifest.windows, held.first};
    std::int64_t windows = 0;
    writeWindows(
        data, selection, options.threads,
        [&](std::int32_t size) {
            using shard::PartKind;
            return report::ReportUnits{&writer.part(PartKind::console, size),
                                       &writer.part(PartKind::transmission, size),
                                       &writer.part(PartKind::results, size)};
        },
        [&](const window::WindowResult& window) {
            io::OutputUnit& table = writer.part(shard::PartKind::table, window.size);
            output::appendTableRow(table.text(), window, loci);
            table.flushIfLarge();
            ++windows;
        });
    writer.finish();
    out << "shard " << options.shard.index << " of " << options.shard.count << ": "
        << (range.empty() ? std::string("no loci")
                          : "windows from loci " + std::to_string(range.first) + " to " + std::to_string(range.last))
        << ", " << windows << " windows; parts and manifest in " << folder << "/\n";
}

void printShardPlan(std::int32_t shardCount, std::ostream& out) {
    io::TextReader reader(io::openExisting(inputFileName), inputFileName);
    const FamilyData head = input::readFamilyHead(reader);
    const std::vector<double> work = workOf(head, surveyRecords(reader, head).families);
    const std::int32_t lociCount = std::max(head.lociCount, 0);
    const std::int64_t families = std::max(head.familyCount, 0);
    out << "shard\tfirst_locus\tlast_locus\twindows\twork\tmem_mb\n";
    std::int32_t k = 0;
    for (const LocusRange& range : shard::planShards(work, shardCount)) {
        double shardWork = 0.0;
        for (std::int32_t l = range.first; l <= range.last; ++l) shardWork += work[static_cast<std::size_t>(l - 1)];
        const std::int64_t windows =
            window::countWindows(window::windowsStartingIn(range.first, range.last, lociCount));
        // The family tables of the loci read; per locus of the whole input a
        // family's three records while reading (24 bytes), the families
        // taking part in its windows (28) and its work (8); and room for the
        // program and a window's tables.
        const shard::LocusRange held = shard::lociRead(range, lociCount);
        const double alleles =
            6.0 * static_cast<double>(families) * static_cast<double>(held.empty() ? 0 : held.last - held.first + 1);
        const double bytes = alleles * largestAlleleTable(head).bytesPerAllele() + 60.0 * lociCount;
        const auto megabytes = static_cast<std::int64_t>(std::ceil(64.0 + 1.5 * bytes / (1 << 20)));
        out << ++k << '\t' << range.first << '\t' << range.last << '\t' << windows << '\t'
            << static_cast<std::int64_t>(shardWork) << '\t' << megabytes << '\n';
    }
}

}  // namespace triotdt::driver
