#include "driver/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>

#include "driver/version.h"
#include "shard/merge_command.h"

namespace triotdt::driver {
namespace {

constexpr const char* summary =
    "triotdt: haplotype transmission/disequilibrium tests in parent-child trios, with\n"
    "p-values by resampling, for every window of 1 to 7 adjacent markers.\n"
    "\n"
    "Without options it reads tdtinput.dat in the working folder and creates the\n"
    "reports tdttran.txt and tdtout.txt there.";

constexpr const char* explanation = R"(INPUT
  tdtinput.dat holds whole numbers: the number of trios, the number of
  resampling replicates, the number of marker loci (in map order), the number
  of alleles at each locus, then for every trio the father's, the mother's and
  the child's genotypes, two allele numbers (1 to the locus's allele count) per
  locus. Allele 0 marks a missing genotype: a trio takes part only in the
  windows where father, mother and child are genotyped at every locus.
  Mendelian inconsistencies are refused.
  tdtloci.tsv beside it, when present (the import writes it), gives each
  locus's chromosome, position and marker name for the table and the figure;
  its loci must lie on one chromosome.
  tdtsex.tsv beside it makes the run one of chromosome X: a header row
  "family<TAB>child_sex", then one row per trio in order, "1<TAB>son" or
  "2<TAB>daughter". On X only the mothers' transmissions are counted; a
  male's genotype is his one allele written twice, a son needs no father,
  and a daughter's father only tells which of her alleles is her mother's.

WHAT IS TESTED
  In every window of 1 to 7 adjacent loci each parent is split, against the
  child, into a transmitted and an untransmitted haplotype. Where parents and
  child share the same heterozygous genotype the phase is open, and every
  phase resolution consistent with the trio is kept. Each statistic has the
  one form, summed over the haplotypes h of the window,
      (T(h) - U(h))^2 / (T(h) + U(h) - 2 H(h))
  with T and U the transmitted and untransmitted copies of h and H the
  parents homozygous for h, so that only heterozygous parents inform it. The
  five statistics differ in how trios of ambiguous phase enter:
    Punamb  trios of unambiguous phase only; the others are left out.
    Pg      every trio, its phase resolutions weighted by the haplotype
            frequencies counted among the parents of the unambiguous trios.
    Pe      every trio, all its phase resolutions weighted equally.
    Pc      every trio, weighted by haplotype frequencies counted over all
            trios, each trio's resolutions taking equal shares.
    Pem     every trio, weighted by maximum-likelihood haplotype frequencies
            estimated by EM over all trios' phase resolutions.
  A resolution's weight is the product of its four haplotype frequencies,
  normalised within the trio, so that every trio counts once.

SIGNIFICANCE
  The p-values come from resampling under the null hypothesis of no linkage
  or no association: in each replicate every trio, with probability one half,
  has its parents' transmitted and untransmitted alleles exchanged at the
  loci of known phase, and the statistics are recomputed with the haplotype
  frequencies held fixed. p is the share of replicates whose statistic
  exceeds the observed one, ties counting one half; with R replicates a
  non-zero p is at least 1/(2R). The p-values are per window: correct for the
  number of windows tested (the figure marks the Bonferroni threshold).
  By default the exchanges come from one stream that runs on from window to
  window. With --seed N they come from a counter-based stream
  (Philox4x32-10) under seed N: replicate r exchanges the same trios in
  every window, and any replicate can be drawn where it is needed. The
  console's first lines and the table then name the stream and the seed.
  --adaptive MAX (which takes that stream, seed 1 unless --seed says
  otherwise) gives each window as many replicates as its p-values need: R
  first, then twice as many, four times ... until every statistic has 20
  exceedances (relative error about 1/sqrt(20)) or MAX replicates; the
  table's column replicates says how many. A p of 0 after MAX replicates
  means below about 1/MAX.
  --window-sizes LIST analyses only the windows of those sizes; each keeps
  the p-values it has in a run of every size.
  --family-wise (which takes the counter-based stream too) adds family-wise
  p-values over every window analysed: each statistic is put on a
  chi-square reference scale, (k-1)/k times the statistic on k-1 degrees of
  freedom with k the haplotypes in its sum, and a window's family-wise p is
  the share of the first R replicates (the input's, or --adaptive's first
  batch) whose smallest reference tail over all windows is at most the
  window's own (Westfall and Young's single-step maxT). The table gains
  fwer_Punamb ... fwer_Pem, tdtfamilywise.tsv holds the replicates' minima
  (for 'triotdt combine' of several chromosomes), and the console ends with
  the windows of family-wise p at most 0.05.

REPORTS (always created new: an existing file is never overwritten)
  tdttran.txt  per window: transmitted, untransmitted and homozygote counts and
               the haplotype frequencies of the unambiguous trios, for every
               haplotype in code order (the last locus varying fastest).
  tdtout.txt   per window: the five p-values and, below them, the statistics.
  --table      the same per-window results as a tab-separated table at full
               precision, with marker names and positions when known; with
               FILE '-' on standard output, the console then on standard
               error.
  --plot       an SVG figure of -log10 p of one statistic (Pem, or the one
               --plot-statistic names) along the markers, a panel for each
               window size.
  The table and the figure are written under temporary names and take their
  names only when the run is complete.
  Standard output repeats the headings and results of tdtout.txt. On a
  terminal, runs longer than a second show a progress line on standard error.

EXIT STATUS
  0 after a complete run, 1 after a file or input error, 2 after a usage
  error, 128 + the signal number after SIGINT or SIGTERM (the reports keep
  the windows finished and end with a line saying the run was interrupted).)";

void addGeneralOptions(CLI::App& app, CommandLine& line) {
    app.set_help_flag("-h,--help", "Show this help and exit");
    app.set_version_flag("--version", versionText(), "Show the version and exit");
    app.add_option("-C,--directory", line.folder, "Run in DIR; later paths are relative to it")->type_name("DIR");
}

// The commands besides the analysis: each registers its own description,
// options and usage on its subcommand.
struct Subcommand {
    const char* name;
    Command command;
    void (*addOptions)(CLI::App& subcommand, CommandLine& line);
};

constexpr Subcommand subcommands[] = {
    {"import", Command::import, [](CLI::App& app, CommandLine& line) { import::addImportOptions(app, line.import); }},
    {"merge", Command::merge, [](CLI::App& app, CommandLine& line) { shard::addMergeOptions(app, line.merge); }},
    {"combine", Command::combine,
     [](CLI::App& app, CommandLine& line) { combine::addCombineOptions(app, line.combine); }},
};

// General options (-C) stand before a subcommand's name; the analysis's
// options are the program's own.
void configure(CLI::App& app, CommandLine& line) {
    app.footer(explanation);
    app.failure_message(
        [](const CLI::App*, const CLI::Error& error) { return describeUsageError(UsageError(error.what())); });
    addGeneralOptions(app, line);
    addAnalysisOptions(app, line.analysis);
    addShardOptions(app, line.analysis);
    for (const Subcommand& subcommand : subcommands) {
        CLI::App* added = app.add_subcommand(subcommand.name);
        subcommand.addOptions(*added, line);
        added->parse_complete_callback([&line, command = subcommand.command] { line.command = command; });
    }
}

// Before the word `merge` or `combine`, --table and --plot are that
// command's: the last given of the program's own wins over the command's.
template <class Options>
void takeOutputs(const CLI::App& app, CommandLine& line, Options& options) {
    if (app.get_option("--table")->count() > 0) options.tablePath = line.analysis.tablePath;
    if (app.get_option("--plot")->count() > 0) options.plotPath = line.analysis.plotPath;
    if (app.get_option("--plot-statistic")->count() > 0) options.plotStatistic = line.analysis.plotStatistic;
    line.analysis.plotStatistic.reset();
}

void takeOutputsBeforeCommand(const CLI::App& app, CommandLine& line) {
    if (line.command == Command::merge) takeOutputs(app, line, line.merge);
    if (line.command == Command::combine) takeOutputs(app, line, line.combine);
}

void checkCombinations(const CLI::App& app, const CommandLine& line) {
    const bool merging = line.command == Command::merge;
    const bool combining = line.command == Command::combine;
    const std::string& table = merging     ? line.merge.tablePath
                               : combining ? line.combine.tablePath
                                           : line.analysis.tablePath;
    const std::string& plot = merging     ? line.merge.plotPath
                              : combining ? line.combine.plotPath
                                          : line.analysis.plotPath;
    if (!table.empty() && table == plot) throw CLI::ValidationError("--table and --plot", "they name the same file");
    const AnalysisOptions& analysis = line.analysis;
    const bool threadsGiven = app.get_option("--threads")->count() > 0;
    const bool sharding = analysis.shard || !analysis.shardFolder.empty() || analysis.shardPlanCount > 0;
    const bool resampling =
        analysis.seed.has_value() || analysis.adaptiveMax > 0 || analysis.familyWise || !analysis.windowSizes.all();
    const bool analysisOptions = threadsGiven || !analysis.tablePath.empty() || !analysis.plotPath.empty() ||
                                 analysis.plotStatistic || sharding || resampling;
    if (line.command == Command::import && analysisOptions) {
        throw CLI::ValidationError(
            "--threads, --table, --plot, --plot-statistic, --window-sizes, --seed, --adaptive, --family-wise and the "
            "shard options",
            "they belong to the analysis, not to import");
    }
    if (merging && (threadsGiven || sharding || resampling)) {
        throw CLI::ValidationError(
            "--threads, --window-sizes, --seed, --adaptive, --family-wise and the shard options",
            "they belong to the analysis, not to merge (the shards' manifests say how they ran)");
    }
    if (combining && (threadsGiven || sharding || resampling)) {
        throw CLI::ValidationError("--threads, --window-sizes, --seed, --adaptive, --family-wise and the shard options",
                                   "they belong to the analysis, not to combine (each run's files say how it ran)");
    }
    const bool statisticWithoutPlot = merging     ? line.merge.plotStatistic && line.merge.plotPath.empty()
                                      : combining ? line.combine.plotStatistic && line.combine.plotPath.empty()
                                                  : false;
    if (statisticWithoutPlot) {
        throw CLI::ValidationError("--plot-statistic", "it chooses the statistic of the figure: it needs --plot");
    }
    checkAnalysisOptions(analysis);
}

bool isDirectoryOption(const std::string& word) {
    return word.starts_with("-C") || word == "--directory" || word.starts_with("--directory=");
}

// Whether -C follows the word `import` (a general option in the wrong place),
// which CLI11 would report as a missing input or an unexpected argument.
bool directoryAfterImport(int argc, const char* const* argv) {
    bool inImport = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (inImport && isDirectoryOption(word)) return true;
        if (!inImport && (word == "-C" || word == "--directory" || word == "--threads" || word == "--table" ||
                          word == "--plot" || word == "--plot-statistic")) {
            ++i;  // the option's value
        }
        inImport = inImport || word == "import";
    }
    return false;
}

// The arguments no option took, in the order typed (CLI11 gathers them back
// to front).
std::string unexpectedArguments(std::vector<std::string> extras, int argc, const char* const* argv) {
    std::vector<std::string> typed;
    for (int i = 1; i < argc; ++i) {
        const auto at = std::find(extras.begin(), extras.end(), argv[i]);
        if (at == extras.end()) continue;
        typed.push_back(*at);
        extras.erase(at);
    }
    typed.insert(typed.end(), extras.begin(), extras.end());
    std::string text = "triotdt: The following arguments were not expected:";
    for (const std::string& word : typed) text += " " + word;
    return text + "\nRun 'triotdt --help' for the options.\n";
}

}  // namespace

std::string describeUsageError(const UsageError& error) {
    return std::string("triotdt: ") + error.what() + "\nRun 'triotdt --help' for the options.\n";
}

ParsedCommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CommandLine line;
    CLI::App app(summary, "triotdt");
    configure(app, line);
    if (directoryAfterImport(argc, argv)) {
        err << "triotdt: -C goes before 'import': triotdt -C DIR import [OPTIONS]\n"
               "Run 'triotdt import --help' for the options.\n";
        return {std::nullopt, 2};
    }
    try {
        app.parse(argc, argv);
        takeOutputsBeforeCommand(app, line);
        checkCombinations(app, line);
    } catch (const CLI::ExtrasError&) {
        err << unexpectedArguments(app.remaining(true), argc, argv);
        return {std::nullopt, 2};
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error, out, err);
        // Help and version end well; every other parse error is a usage error.
        return {std::nullopt, status == 0 ? 0 : 2};
    }
    return {line, 0};
}

}  // namespace triotdt::driver
