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

using input::findUnusableInput;
using io::inputFileName;

// An empty table as wide as the loci of `data` need.
haplotype::AlleleTable largestAlleleTable(const FamilyData& data) {
    const auto largest = std::max_element(data.alleleCount.begin(), data.alleleCount.end());
    return haplotype::AlleleTable(largest == data.alleleCount.end() ? 1 : *largest);
}

// Reads every family's records after the head, keeping only the loci of
// `keep`: `data` becomes the family data of those loci, numbered from 1.
// Every value of the file is still read and checked as readFamilyData does.
// Returns the missing genotypes (an allele 0) of the whole input, which the
// console of a whole run counts before its first heading.
std::int64_t readRecordsOfLoci(io::TextReader& reader, FamilyData& data, LocusRange keep) {
    const std::int32_t inputLoci = data.lociCount;
    data.lociCount = keep.empty() ? 0 : keep.last - keep.first + 1;
    std::int64_t missing = 0;
    if (inputLoci <= 0 || data.familyCount <= 0) return missing;
    data.alleleCount.assign(data.alleleCount.begin() + (keep.first - 1),
                            data.alleleCount.begin() + (keep.first - 1 + data.lociCount));

    const std::int64_t columns = 2 * std::int64_t{inputLoci};
    const auto describeAllele = [](std::int64_t i) {
        return "locus " + std::to_string(i / 2 + 1) + (i % 2 == 0 ? ", first allele" : ", second allele");
    };
    for (haplotype::AlleleTable* table : {&data.fatherAlleles, &data.motherAlleles, &data.childAlleles}) {
        *table = largestAlleleTable(data);
    }
    std::vector<std::int32_t> record;
    const auto keepLoci = [&](haplotype::AlleleTable& table) {
        table.append(std::span(record).subspan(2 * static_cast<std::size_t>(keep.first - 1),
                                               2 * static_cast<std::size_t>(data.lociCount)));
    };
    for (std::int32_t f = 0; f < data.familyCount; ++f) {
        const std::string family = "family " + std::to_string(f + 1);
        for (const auto& [who, table] :
             {std::pair{", father's record", &data.fatherAlleles}, std::pair{", mother's record", &data.motherAlleles},
              std::pair{", child's record", &data.childAlleles}}) {
            record.clear();
            reader.readIntegers(columns, family + who, record, describeAllele);
            for (std::size_t l = 0; l + 1 < record.size(); l += 2) missing += record[l] == 0 || record[l + 1] == 0;
            keepLoci(*table);
        }
    }
    return missing;
}

// The work of the windows beginning at each locus of the input whose head is
// `head`: every family takes part in every window.
std::vector<double> workOf(const FamilyData& head) {
    const std::int64_t families = std::max(head.familyCount, 0);
    return shard::workByFirstLocus(std::max(head.lociCount, 0), head.replicateCount,
                                   [families](std::int32_t, std::int32_t) { return families; });
}

// A shard's data fails the checks of a whole run: the whole input is checked
// instead, so that the message names every place as a whole run would.
[[noreturn]] void refuseAsWholeRun() {
    io::TextReader reader(io::openExisting(inputFileName), inputFileName);
    const input::InputProblems problems = findUnusableInput(input::readFamilyData(reader));
    throw io::InputRefused(input::describeUnusableInput(inputFileName, problems));
}

}  // namespace

void runShard(const ShardOptions& options, std::ostream& out) {
    catchInterruptions();
    const shard::FileSum inputSum = shard::sumFile(inputFileName);
    io::TextReader reader(io::openExisting(inputFileName), inputFileName);
    FamilyData data = input::readFamilyHead(reader);
    const FamilyData head = data;
    const std::int32_t lociCount = std::max(head.lociCount, 0);
    const LocusRange range =
        shard::planShards(workOf(head), options.shard.count)[static_cast<std::size_t>(options.shard.index - 1)];
    const LocusRange held = shard::lociRead(range, lociCount);
    if (!input::countsFitTables(head)) refuseAsWholeRun();
    const std::int64_t missingGenotypes = readRecordsOfLoci(reader, data, held);
    if (!findUnusableInput(data).empty()) refuseAsWholeRun();

    // The table's rows name the markers when tdtloci.tsv lies beside the input.
    std::vector<output::LocusRow> loci;
    std::string lociText;
    if (::access(output::lociFileName, F_OK) == 0) {
        lociText = shard::readFileText(output::lociFileName);
        loci = output::parseLociTable(lociText, output::lociFileName);
        output::refuseSeveralChromosomes(loci, output::lociFileName);
        checkLociMatchInput(loci, head);
    }

    shard::Manifest manifest{
        shard::programVersion(), inputSum, options.shard, lociCount, shard::windowsOfRange(range, lociCount), {}};
    const std::string folder = options.folder.empty() ? shard::defaultShardFolder(options.shard) : options.folder;
    shard::ShardWriter writer(folder, manifest);
    if (!lociText.empty()) writer.copyLociTable(lociText);
    if (missingGenotypes > 0) report::writeMissingGenotypesLine(writer.preamble(), missingGenotypes);

    const WindowSelection selection{lociCount, manifest.windows, held.first};
    std::int64_t windows = 0;
    analyseWindows(
        data, selection, options.threads,
        [&](std::int32_t size) {
            using shard::PartKind;
            return SizeUnits{&writer.part(PartKind::console, size), &writer.part(PartKind::transmission, size),
                             &writer.part(PartKind::results, size)};
        },
        [&](const WindowOutcome& window) {
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
    const std::int32_t lociCount = std::max(head.lociCount, 0);
    const std::int64_t families = std::max(head.familyCount, 0);
    const std::vector<double> work = workOf(head);
    out << "shard\tfirst_locus\tlast_locus\twindows\twork\tmem_mb\n";
    std::int32_t k = 0;
    for (const LocusRange& range : shard::planShards(work, shardCount)) {
        double shardWork = 0.0;
        for (std::int32_t l = range.first; l <= range.last; ++l) shardWork += work[static_cast<std::size_t>(l - 1)];
        std::int64_t windows = 0;
        for (const shard::WindowSpan& span : shard::windowsOfRange(range, lociCount)) windows += span.windowCount();
        // The family tables of the loci read, one record of the whole input
        // while reading, and room for the program and a window's tables.
        const shard::LocusRange held = shard::lociRead(range, lociCount);
        const double alleles =
            6.0 * static_cast<double>(families) * static_cast<double>(held.empty() ? 0 : held.last - held.first + 1);
        const double bytes = alleles * largestAlleleTable(head).bytesPerAllele() + 8.0 * lociCount;
        const auto megabytes = static_cast<std::int64_t>(std::ceil(64.0 + 1.5 * bytes / (1 << 20)));
        out << ++k << '\t' << range.first << '\t' << range.last << '\t' << windows << '\t'
            << static_cast<std::int64_t>(shardWork) << '\t' << megabytes << '\n';
    }
}

}  // namespace triotdt::driver
