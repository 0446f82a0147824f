#include "combine/combine_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <map>

#include "driver/interruption.h"
#include "familywise/replicate_minima.h"
#include "import/chromosome.h"
#include "input/family_input.h"
#include "io/file_names.h"
#include "io/file_text.h"
#include "io/output_unit.h"
#include "io/run_error.h"
#include "io/staged_output.h"
#include "io/text_reader.h"
#include "output/familywise_file.h"
#include "output/familywise_outputs.h"
#include "output/figure_options.h"
#include "output/loci_table.h"
#include "output/results_plot.h"
#include "output/results_table.h"
#include "shard/checksum.h"

namespace triotdt::combine {
namespace {

namespace fs = std::filesystem;

// A chromosome's run, as its folder holds it.
struct Run {
    std::string folder;  // as given
    std::string label;   // its chromosome, or its folder when it has no tdtloci.tsv
    std::vector<output::LocusRow> loci;
    std::int32_t lociCount = 0;
    std::int32_t familyCount = 0;
    std::optional<output::FamilyWiseFile> familyWise;  // its head and minima

    std::string path(const char* name) const { return (fs::path(folder) / name).string(); }
    std::string named() const { return "'" + folder + "'"; }
};

[[noreturn]] void refuse(const std::string& why) {
    throw io::InputRefused("triotdt combine: " + why + "; nothing was written\n");
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

Run readRun(const std::string& folder) {
    Run run{folder, folder, {}, 0, 0, {}};
    if (!fs::is_directory(folder)) refuse("'" + folder + "' is not a folder");
    if (!exists(run.path(io::inputFileName))) {
        refuse(run.named() + " has no " + io::inputFileName + ": it is not the folder of a run");
    }
    io::TextReader reader(io::openExisting(run.path(io::inputFileName)), run.path(io::inputFileName));
    const haplotype::FamilyData head = input::readFamilyHead(reader);
    run.lociCount = std::max(head.lociCount, 0);
    run.familyCount = head.familyCount;
    if (exists(run.path(io::lociFileName))) {
        run.loci = output::readLociTable(run.path(io::lociFileName));
        output::refuseSeveralChromosomes(run.loci, run.path(io::lociFileName));
        if (!run.loci.empty()) run.label = run.loci.front().chromosome;
    }
    if (exists(run.path(io::familyWiseFileName)))
        run.familyWise = output::readFamilyWiseFile(run.path(io::familyWiseFileName));
    return run;
}

// How a family-wise run was made, for messages.
std::string describe(const output::FamilyWiseHead& head) {
    std::string text = "--family-wise --seed " + std::to_string(head.rule.seed.value_or(0));
    if (head.rule.adaptive()) text += " --adaptive " + std::to_string(head.rule.maxReplicates);
    if (!head.sizes.all()) text += " --window-sizes " + head.sizes.text();
    return text + " and " + std::to_string(head.replicateCount) + " replicates";
}

// A run's trios as its tdttrios.tsv lists them: "family<TAB>child" to
// "father<TAB>mother". The list must be the one the run recorded.
std::map<std::string, std::string> readTrioList(const Run& run) {
    const std::string path = run.path(io::trioListFileName);
    if (!exists(path)) {
        refuse(run.named() + " has no " + io::trioListFileName + ", which its run recorded (" + io::familyWiseFileName +
               "): the folder has changed since");
    }
    const std::string text = io::readFileText(path);
    shard::Checksum checksum;
    checksum.add(text);
    if (shard::hexChecksum(checksum.value()) != run.familyWise->head.trioChecksum) {
        refuse(path + " is not the trio list its run recorded (" + io::familyWiseFileName + "): the folder has " +
               "changed since");
    }
    std::map<std::string, std::string> trios;
    std::int64_t number = 0;
    io::readLines(path, [&](std::string_view line) {
        if (++number == 1) return;
        const std::vector<std::string_view> f = io::splitFields(line, '\t');
        if (f.size() != 4) refuse(path + ", line " + std::to_string(number) + ": not family, child, father and mother");
        trios[std::string(f[0]) + '\t' + std::string(f[1])] = std::string(f[2]) + '\t' + std::string(f[3]);
    });
    return trios;
}

// Two trio lists of one pedigree: they share a trio, and no child has other
// parents in one than in the other.
void checkOnePedigree(const Run& a, const std::map<std::string, std::string>& aTrios, const Run& b,
                      const std::map<std::string, std::string>& bTrios) {
    bool shared = false;
    for (const auto& [child, parents] : aTrios) {
        const auto other = bTrios.find(child);
        if (other == bTrios.end()) continue;
        if (other->second != parents) {
            refuse(a.named() + " and " + b.named() + " give child '" + child.substr(child.find('\t') + 1) +
                   "' of family '" + child.substr(0, child.find('\t')) +
                   "' other parents: their trio lists are not of one pedigree");
        }
        shared = true;
    }
    if (!shared) refuse(a.named() + " and " + b.named() + " share no trio: their trio lists are not of one pedigree");
}

// The trio lists of family-wise runs. Runs of one import list the same trios
// in one order, except where a chromosome's folder leaves some out (on X the
// children of unknown sex; with --drop-trios those with a missing call on
// that chromosome). Replicate r exchanges family f of each run: within a
// chromosome that keeps the correlation between its windows, and
// chromosomes are inherited independently, so the runs need not list the
// same trios, only trios of one pedigree. Returns the console's note on the
// lists that differ or cannot be checked.
std::string checkTrioLists(const std::vector<Run>& runs) {
    std::string unchecked, differing;
    const Run* first = nullptr;
    std::map<std::string, std::map<std::string, std::string>> lists;  // by checksum
    for (const Run& run : runs) {
        const output::FamilyWiseHead& head = run.familyWise->head;
        if (head.trioChecksum == output::uncheckedTrios) {
            unchecked += (unchecked.empty() ? "" : ", ") + run.named();
            continue;
        }
        if (!first) first = &run;
        if (head.trioChecksum == first->familyWise->head.trioChecksum || lists.contains(head.trioChecksum)) continue;
        if (lists.empty()) lists.emplace(first->familyWise->head.trioChecksum, readTrioList(*first));
        const std::map<std::string, std::string> trios = readTrioList(run);
        checkOnePedigree(run, trios, *first, lists.begin()->second);
        differing += ", " + run.named() + " " + std::to_string(head.familyCount);
        lists.emplace(head.trioChecksum, trios);
    }
    std::string note;
    if (!differing.empty()) {
        note = "Trio lists: " + first->named() + " has " + std::to_string(first->familyWise->head.familyCount) +
               " trios" + differing +
               " (of one pedigree): each run's replicates exchange its own trios, which is enough, as chromosomes "
               "are inherited independently.\n";
    }
    if (!unchecked.empty()) {
        note += "Trio lists: " + unchecked + (unchecked.find(", ") == std::string::npos ? " has" : " have") + " no " +
                io::trioListFileName +
                " beside the input, so their families cannot be checked to be trios of the other runs' pedigree.\n";
    }
    return note;
}

// Runs of one genome: all family-wise or none, made alike, of one
// pedigree's trios, each chromosome and folder once. Returns the console's
// note on their trio lists.
std::string checkRunsBelong(const std::vector<Run>& runs) {
    const Run& first = runs.front();
    for (const Run& run : runs) {
        if (run.familyWise.has_value() != first.familyWise.has_value()) {
            const Run& without = run.familyWise ? first : run;
            refuse(without.named() + " has no " + io::familyWiseFileName + ", while " +
                   (run.familyWise ? run : first).named() + " has: run every chromosome with --family-wise, or none");
        }
        if (!run.familyWise) continue;
        const output::FamilyWiseHead& head = run.familyWise->head;
        const output::FamilyWiseHead& firstHead = first.familyWise->head;
        if (head.rule != firstHead.rule || head.replicateCount != firstHead.replicateCount ||
            head.sizes != firstHead.sizes) {
            refuse(run.named() + " was run with " + describe(head) + ", " + first.named() + " with " +
                   describe(firstHead) + ": the runs of a genome must share the stream, the seed and the options");
        }
    }
    for (std::size_t a = 0; a < runs.size(); ++a) {
        for (std::size_t b = 0; b < a; ++b) {
            if (fs::equivalent(runs[a].folder, runs[b].folder)) {
                refuse(runs[a].named() + " is given twice");
            }
            if (!runs[a].loci.empty() && !runs[b].loci.empty() &&
                import::chromosomeRank(runs[a].label) == import::chromosomeRank(runs[b].label)) {
                refuse(runs[b].named() + " and " + runs[a].named() + " are both of chromosome " + runs[a].label);
            }
        }
    }
    return runs.front().familyWise ? checkTrioLists(runs) : std::string();
}

// Chromosomes in the order geneticists expect; runs without tdtloci.tsv
// after them, in the order given.
void orderRuns(std::vector<Run>& runs) {
    std::stable_sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) {
        if (a.loci.empty() || b.loci.empty()) return !a.loci.empty() && b.loci.empty();
        return import::chromosomeRank(a.label) < import::chromosomeRank(b.label);
    });
}

// The chromosomes side by side: by position when every run places its loci
// in order on one chromosome, else by locus number.
output::FigureScope genomeScope(const std::vector<Run>& runs, statistics::Statistic statistic) {
    std::vector<output::FigureScope> each;
    bool byPosition = true;
    for (const Run& run : runs) {
        each.push_back(output::runFigureScope(run.loci, run.lociCount, statistic));
        byPosition = byPosition && each.back().byPosition;
    }
    output::FigureScope scope;
    scope.statistic = statistic;
    scope.byPosition = byPosition;
    for (std::size_t c = 0; c < runs.size(); ++c) {
        output::FigureChromosome chromosome =
            (byPosition ? each[c] : output::runFigureScope({}, runs[c].lociCount, statistic)).chromosomes.front();
        chromosome.name = runs[c].label;
        chromosome.namedLoci.clear();
        scope.chromosomes.push_back(std::move(chromosome));
    }
    return scope;
}

std::string runsLine(const std::vector<Run>& runs, const std::vector<std::int64_t>& windows) {
    std::string text = "Combined " + std::to_string(runs.size()) + (runs.size() == 1 ? " run: " : " runs: ");
    for (std::size_t c = 0; c < runs.size(); ++c) {
        text += (c == 0 ? "" : ", ") + runs[c].label + " (" + std::to_string(windows[c]) +
                (windows[c] == 1 ? " window" : " windows") +
                (runs[c].label == runs[c].folder ? "" : ", " + runs[c].named()) + ")";
    }
    return text + ".\n";
}

void writeCombined(const std::vector<Run>& runs, const CombineOptions& options, std::string notes) {
    const bool familyWise = runs.front().familyWise.has_value();
    std::optional<familywise::FamilyWiseScale> scale;
    familywise::MinimumTails genome;
    std::string header;
    if (familyWise) {
        genome = runs.front().familyWise->minima;
        for (const Run& run : runs) familywise::foldMinima(genome, run.familyWise->minima);
        scale.emplace(genome);
        output::appendTableHeader(header, runs.front().familyWise->head.rule);
        header.pop_back();
        for (const char* name : statistics::statisticNames) header += std::string("\tgenome_fwer_") + name;
    } else {
        for (const Run& run : runs) {
            if (!exists(run.path(options.runTable.c_str()))) {
                refuse(run.named() + " has no results table " + options.runTable + " (run it with --table " +
                       options.runTable + ", or name its table with --run-table)");
            }
            std::string first;
            io::readLines(run.path(options.runTable.c_str()), [&](std::string_view line) {
                if (first.empty()) first = line;
            });
            if (header.empty()) header = first;
            if (first != header)
                refuse("the table of " + run.named() + " has other columns than that of " + runs.front().named());
        }
    }

    std::optional<io::StagedOutput> table, plot;
    if (!options.tablePath.empty()) {
        table.emplace(options.tableOnStandardOutput ? io::StagedOutput::standardOutput()
                                                    : io::StagedOutput::beside(options.tablePath, "\n"));
        table->unit().text() += header + "\n";
    }
    std::optional<output::ResultsFigure> figure;
    if (!options.plotPath.empty()) {
        plot.emplace(io::StagedOutput::beside(options.plotPath, "\n"));
        figure.emplace(genomeScope(runs, options.plotStatistic.value_or(output::defaultPlotStatistic)));
        if (familyWise) output::drawGenomeWideLine(*figure, genome);
    }
    output::SignificantWindows significant;
    std::vector<std::int64_t> windows;
    for (std::size_t c = 0; c < runs.size(); ++c) {
        const Run& run = runs[c];
        windows.push_back(0);
        const auto take = [&](std::string_view line, const window::WindowResult& read) {
            driver::stopIfInterrupted();
            ++windows.back();
            window::WindowResult w = read;
            std::string row = output::resultsRowOf(line, run.label);
            if (familyWise && !w.skipped) {
                statistics::FiveStatistics genome = scale->adjustedPValues(w.observedDepths, w.pValues);
                // The minima of more windows can only be deeper: never below the run's own.
                for (std::size_t s = 0; w.familyWisePValues && s < genome.size(); ++s) {
                    genome[s] = std::max(genome[s], (*w.familyWisePValues)[s]);
                }
                for (const double p : genome) row += "\t" + output::tableReal(p);
                w.familyWisePValues = genome;
            } else if (familyWise) {
                row += std::string(statistics::statisticCount, '\t');
            }
            if (table) {
                table->unit().text() += row + "\n";
                table->unit().flushIfLarge();
            }
            if (figure) {
                output::WindowPlace place = output::runWindowPlace(
                    w, figure->scope().byPosition ? run.loci : std::vector<output::LocusRow>{}, figure->scope());
                place.chromosome = c;
                figure->add(w, place);
            }
            significant.add(w, run.label + ":" + output::lociLabel(w));
        };
        if (familyWise) {
            output::readFamilyWiseFile(run.path(io::familyWiseFileName), take);
        } else {
            std::int64_t number = 0;
            const std::string path = run.path(options.runTable.c_str());
            io::readLines(path, [&](std::string_view line) {
                if (++number > 1) take(line, output::parseTableRow(line, path + ", line " + std::to_string(number)));
            });
        }
    }
    std::string console = runsLine(runs, windows) + notes;
    if (figure) console += output::inflationLine(*figure);
    if (familyWise) console += significant.lines(runs.front().familyWise->head.replicateCount);
    output::completeTableAndFigure(table, plot, figure ? &*figure : nullptr);
    io::OutputUnit out = options.tableOnStandardOutput ? io::OutputUnit::standardError() : io::OutputUnit::console();
    out.text() = console;
    out.flush();
}

}  // namespace

void addCombineOptions(CLI::App& command, CombineOptions& options) {
    command.description(
        "Put the runs of a genome's chromosomes together: genome-wide family-wise p-values, the table and the figure");
    command.add_option("RUN_DIR", options.folders, "The run folders, one per chromosome, in any order")
        ->required()
        ->type_name("DIR...");
    command.add_option("--table", options.tablePath, "Write every window of every run as one tab-separated table")
        ->type_name("FILE");
    output::addFigureOptions(command, options.plotPath, options.plotStatistic,
                             "Draw the genome figure, chromosomes side by side");
    command
        .add_option("--run-table", options.runTable,
                    "Runs made without --family-wise: the name of each run's results table in its folder "
                    "(results.tsv by default)")
        ->type_name("NAME");
}

void runCombine(const CombineOptions& options) {
    std::vector<Run> runs;
    for (const std::string& folder : options.folders) runs.push_back(readRun(folder));
    const std::string notes = checkRunsBelong(runs);
    orderRuns(runs);
    writeCombined(runs, options, notes);
}

}  // namespace triotdt::combine
