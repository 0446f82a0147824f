#include "combine/combine_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>

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

// Runs of one genome: all family-wise or none, of the same families, made
// alike, each chromosome and folder once. Returns the note on trio lists
// that cannot be checked, for the console.
std::string checkRunsBelong(const std::vector<Run>& runs) {
    const Run& first = runs.front();
    for (const Run& run : runs) {
        if (run.familyWise.has_value() != first.familyWise.has_value()) {
            const Run& without = run.familyWise ? first : run;
            refuse(without.named() + " has no " + io::familyWiseFileName + ", while " +
                   (run.familyWise ? run : first).named() + " has: run every chromosome with --family-wise, or none");
        }
        if (run.familyCount != first.familyCount) {
            refuse(run.named() + " has " + std::to_string(run.familyCount) + " families, " + first.named() + " " +
                   std::to_string(first.familyCount) + ": the runs of a genome must have the same trios in one order");
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
    std::string unchecked;
    const Run* checked = nullptr;
    for (const Run& run : runs) {
        if (!run.familyWise) continue;
        const std::string& sum = run.familyWise->head.trioChecksum;
        if (sum == output::uncheckedTrios) {
            unchecked += (unchecked.empty() ? "" : ", ") + run.named();
        } else if (!checked) {
            checked = &run;
        } else if (sum != checked->familyWise->head.trioChecksum) {
            refuse(run.named() + " has another trio list (" + io::trioListFileName + " checksum " + sum + ") than " +
                   checked->named() + " (" + checked->familyWise->head.trioChecksum +
                   "): family f must be the same trio in every run");
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
    if (unchecked.empty()) return {};
    return "Trio lists: " + unchecked + " have no " + io::trioListFileName +
           " beside their input, so their families cannot be checked to be the same trios as the other runs'; "
           "family f is taken to be the same trio in every run.\n";
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
