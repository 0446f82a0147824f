#include "driver/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <ostream>

#include "driver/version.h"

namespace triotdt::driver {
namespace {

constexpr unsigned maxThreads = 1024;

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

REPORTS (always created new: an existing file is never overwritten)
  tdttran.txt  per window: transmitted, untransmitted and homozygote counts and
               the haplotype frequencies of the unambiguous trios, for every
               haplotype in code order (the last locus varying fastest).
  tdtout.txt   per window: the five p-values and, below them, the statistics.
  --table      the same per-window results as a tab-separated table at full
               precision, with marker names and positions when known; with
               FILE '-' on standard output, the console then on standard
               error.
  --plot       an SVG figure of -log10 p along the markers, a panel for each
               window size.
  The table and the figure are written under temporary names and take their
  names only when the run is complete.
  Standard output repeats the headings and results of tdtout.txt. On a
  terminal, runs longer than a second show a progress line on standard error.

EXIT STATUS
  0 after a complete run, 1 after a file or input error, 2 after a usage
  error, 128 + the signal number after SIGINT or SIGTERM (the reports keep
  the windows finished and end with a line saying the run was interrupted).)";

bool endsWithSvg(std::string path) {
    std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
    return path.size() > 4 && path.ends_with(".svg");
}

// Validators with no description of their own: the option's type name says it.
const CLI::Validator svgFile(
    [](const std::string& path) {
        return endsWithSvg(path) ? std::string() : "the figure is SVG: FILE must end in .svg";
    },
    "");

const CLI::Validator threadCount(
    [](const std::string& text) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        const bool whole = error == std::errc() && end == text.data() + text.size();
        return whole && value <= maxThreads
                   ? std::string()
                   : "'" + text + "' is not a number of threads from 0 (every core) to " + std::to_string(maxThreads);
    },
    "");

void addGeneralOptions(CLI::App& app, CommandLine& line) {
    app.set_help_flag("-h,--help", "Show this help and exit");
    app.set_version_flag("--version", versionText(), "Show the version and exit");
    app.add_option("-C,--directory", line.folder, "Run in DIR; later paths are relative to it")->type_name("DIR");
}

const CLI::Validator shardNumber(
    [](const std::string& text) {
        return shard::parseShardNumber(text)
                   ? std::string()
                   : "'" + text +
                         "' is not K/N, shard K of N, with 1 <= K <= N <= " + std::to_string(shard::maxShardCount);
    },
    "");

const CLI::Validator shardCount(
    [](const std::string& text) {
        return shard::parseShardNumber("1/" + text)
                   ? std::string()
                   : "'" + text + "' is not a number of shards from 1 to " + std::to_string(shard::maxShardCount);
    },
    "");

void addShardOptions(CLI::App& app, CommandLine& line) {
    app.add_option_function<std::string>(
           "--shard", [&line](const std::string& text) { line.shard = shard::parseShardNumber(text); },
           "Analyse only shard K of N (windows by first locus) and write its parts into shard-K-of-N/")
        ->type_name("K/N")
        ->check(shardNumber);
    app.add_option("--shard-dir", line.shardFolder, "With --shard: write the parts into DIR instead")->type_name("DIR");
    app.add_option("--shard-plan", line.shardPlanCount,
                   "Print the loci, windows, work and memory of each of N shards, and exit")
        ->type_name("N")
        ->check(shardCount);
}

// `triotdt merge DIR...`, with the table and the figure of the merged run.
void addMergeCommand(CLI::App& app, CommandLine& line) {
    CLI::App* merge = app.add_subcommand(
        "merge", "Put the shards of a run together: the reports, console, table and figure of the whole run");
    merge->add_option("SHARD_DIR", line.mergeFolders, "The folders of all shards of the run, in any order")
        ->required()
        ->type_name("DIR...");
    merge->add_option("--table", line.tablePath, "Also write the results as a tab-separated table")->type_name("FILE");
    merge->add_option("--plot", line.plotPath, "Also draw the p-values as an SVG figure")
        ->type_name("FILE.svg")
        ->check(svgFile);
    merge->parse_complete_callback([&line] { line.command = Command::merge; });
}

void addAnalysisOptions(CLI::App& app, CommandLine& line) {
    app.add_option(
           "--threads", line.run.threads,
           "Threads for the analysis (windows side by side, replicates of large windows shared out); 0, the default, means one per core")
        ->type_name("N")
        ->check(threadCount);
    app.add_option("--table", line.tablePath, "Also write the results as a tab-separated table ('-': standard output)")
        ->type_name("FILE");
    app.add_option("--plot", line.plotPath, "Also draw the p-values as an SVG figure")
        ->type_name("FILE.svg")
        ->check(svgFile);
}

// General options (-C) stand before a subcommand's name.
void configure(CLI::App& app, CommandLine& line) {
    app.footer(explanation);
    app.failure_message(
        [](const CLI::App*, const CLI::Error& error) { return describeUsageError(UsageError(error.what())); });
    addGeneralOptions(app, line);
    addAnalysisOptions(app, line);
    CLI::App* importCommand = app.add_subcommand(
        "import", "Write tdtinput.dat and tdtloci.tsv from PLINK files, or from a VCF or BCF with a pedigree");
    import::addImportOptions(*importCommand, line.importOptions);
    importCommand->parse_complete_callback([&line] { line.command = Command::import; });
    addShardOptions(app, line);
    addMergeCommand(app, line);
}

void checkCombinations(const CLI::App& app, const CommandLine& line) {
    if (!line.tablePath.empty() && line.tablePath == line.plotPath) {
        throw CLI::ValidationError("--table and --plot", "they name the same file");
    }
    const bool threadsGiven = app.get_option("--threads")->count() > 0;
    const bool sharding = line.shard || !line.shardFolder.empty() || line.shardPlanCount > 0;
    const bool analysisOptions = threadsGiven || !line.tablePath.empty() || !line.plotPath.empty() || sharding;
    if (line.command == Command::import && analysisOptions) {
        throw CLI::ValidationError("--threads, --table, --plot and the shard options",
                                   "they belong to the analysis, not to import");
    }
    if (line.command == Command::merge && (threadsGiven || sharding)) {
        throw CLI::ValidationError("--threads and the shard options", "they belong to the analysis, not to merge");
    }
    if (line.shard && (!line.tablePath.empty() || !line.plotPath.empty())) {
        throw CLI::ValidationError("--table and --plot",
                                   "the table and the figure of a sharded run are written by "
                                   "'triotdt merge'");
    }
    if (!line.shardFolder.empty() && !line.shard) throw CLI::ValidationError("--shard-dir", "it needs --shard");
    if (line.shardPlanCount > 0 && (line.shard || !line.tablePath.empty() || !line.plotPath.empty())) {
        throw CLI::ValidationError("--shard-plan", "it only prints the plan: no --shard, --table or --plot");
    }
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
        if (!inImport &&
            (word == "-C" || word == "--directory" || word == "--threads" || word == "--table" || word == "--plot")) {
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
