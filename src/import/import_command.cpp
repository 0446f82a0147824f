#include "import/import_command.h"

#include <filesystem>
#include <iostream>
#include <limits>

#include <CLI/CLI.hpp>

#include "driver/interruption.h"
#include "import/chromosome.h"
#include "import/import_error.h"
#include "import/import_files.h"
#include "import/import_report.h"
#include "import/line_reader.h"
#include "import/plink_input.h"
#include "import/vcf_input.h"
#include "io/run_error.h"
#include "io/staged_output.h"

namespace triotdt::import {
namespace {

// The input the options name; the command line makes sure there is exactly one.
void checkInputChoice(const ImportOptions& options) {
    const int chosen = !options.ped.empty() + !options.bfile.empty() + !options.vcf.empty();
    if (chosen != 1) throw ImportError("give one input: --ped with --map, --bfile, or --vcf with --pedigree");
    if (options.ped.empty() != options.map.empty()) throw ImportError("--ped and --map go together");
    if (options.vcf.empty() != options.pedigree.empty()) throw ImportError("--vcf and --pedigree go together");
    if (options.replicates < 1) throw ImportError("--replicates must be 1 or more");
}

// --bfile wants the prefix of the three files; given one of the files
// themselves, it takes the prefix and says so.
std::string bfilePrefix(const std::string& bfile, std::vector<std::string>& notes) {
    const std::filesystem::path path(bfile);
    const std::string extension = path.extension().string();
    if (extension != ".bed" && extension != ".bim" && extension != ".fam") return bfile;
    std::error_code error;
    if (std::filesystem::exists(bfile + ".bed", error)) return bfile;
    const std::string prefix = bfile.substr(0, bfile.size() - extension.size());
    notes.push_back("note: --bfile takes the prefix of the .bed, .bim and .fam files; reading " + prefix + ".bed, " +
                    prefix + ".bim and " + prefix + ".fam");
    return prefix;
}

// Every person of some trio, marked.
std::vector<bool> trioMembers(const std::vector<Person>& people, ChildChoice children) {
    std::vector<bool> members(people.size());
    for (const Trio& trio : findTrios(people, children).trios) {
        for (const std::int32_t person : {trio.father, trio.mother, trio.child})
            members[static_cast<std::size_t>(person)] = true;
    }
    return members;
}

// Holds the genotypes of the trios' members only: no one else's are written
// or counted.
GenotypeData readGenotypes(const ImportOptions& options, const MarkerSelection& selection, ChildChoice children) {
    const HeldPeople held = [children](const std::vector<Person>& people) { return trioMembers(people, children); };
    if (!options.ped.empty()) return readPlinkText(options.ped, options.map, selection, options.missingGenotype, held);
    std::vector<std::string> notes;
    GenotypeData data = !options.bfile.empty() ? readPlinkBinary(bfilePrefix(options.bfile, notes), selection, held)
                                               : readVcf(options.vcf, options.pedigree, selection, held);
    data.warnings.insert(data.warnings.begin(), notes.begin(), notes.end());
    return data;
}

ImportRun importGenotypes(const ImportOptions& options) {
    checkInputChoice(options);
    ImportRun run;
    if (!options.region.empty()) {
        std::string problem;
        run.region = parseRegion(options.region, &problem);
        if (!run.region) throw ImportError("--region " + options.region + ": " + problem);
    }
    run.markersFile = options.markers;
    run.replicateCount = options.replicates;
    run.chromosome = options.chromosome;
    run.children = options.allChildren ? ChildChoice::all : ChildChoice::affected;
    run.rules.rule = options.dropTrios ? DropRule::trios : options.dropMarkers ? DropRule::markers : DropRule::genotype;
    run.rules.maxMissing = options.maxMissing;
    checkOutputsAbsent();

    const MarkerSelection selection = selectMarkers(run.region, options.markers);
    run.data = readGenotypes(options, selection, run.children);
    arrangeLoci(run.data.table, selection);
    run.chromosomeNames = unifyChromosomeNames(run.data.table.loci);
    run.markersSelected = static_cast<std::int64_t>(run.data.table.loci.size());
    run.search = findTrios(run.data.people, run.children);
    splitChromosomes(run);
    const std::vector<bool> males = findMales(run.data.people);
    run.childSexes = childSexes(run.data.people, run.search.trios, males);
    for (ChromosomeImport& part : run.parts) {
        std::span<const Sex> childSexOnX;
        if (part.inheritance == haplotype::Inheritance::xLinked) {
            part.maleCalls = blankHeterozygousMales(part.table, run.search.trios, males);
            childSexOnX = run.childSexes;
        }
        part.outcome = applyRule(part.table, run.search.trios, run.rules, childSexOnX);
    }
    return run;
}

std::string checkReplicates(const std::string& text) {
    std::int64_t value = 0;
    if (parseWholeNumber(text, value) && value >= 1 && value <= std::numeric_limits<std::int32_t>::max()) return {};
    return "'" + text + "' is not a whole number from 1 to " +
           std::to_string(std::numeric_limits<std::int32_t>::max()) + "; write it in digits, such as 1000";
}

std::string checkMissingCode(const std::string& text) {
    if (!text.empty() && text.find_first_of(" \t\r\n") == std::string::npos) return {};
    return "the missing-genotype code is one allele label, such as 0, N or .";
}

}  // namespace

void addImportOptions(CLI::App& command, ImportOptions& options) {
    command.description("Write tdtinput.dat and tdtloci.tsv from PLINK files, or from a VCF or BCF with a pedigree");
    command.footer(
        "General options stand before 'import': triotdt -C DIR import --vcf FILE --pedigree FILE ...\n"
        "Exit status: 0 when tdtinput.dat is written, 1 after a file error or when nothing is left to analyse, "
        "2 after a usage error.\n");
    CLI::Option_group* input = command.add_option_group("input", "The genotype files (one of the three kinds)");
    CLI::Option* ped = input->add_option("--ped", options.ped, "PLINK text genotypes (.ped)")->type_name("FILE");
    input->add_option("--bfile", options.bfile, "PLINK binary files PREFIX.bed (SNP-major), PREFIX.bim and PREFIX.fam")
        ->type_name("PREFIX");
    CLI::Option* vcf =
        input->add_option("--vcf", options.vcf, "VCF (.vcf or bgzip-compressed .vcf.gz) or BCF genotypes")
            ->type_name("FILE");
    input->require_option(1);

    command.add_option("--map", options.map, "The markers of the --ped file (.map)")->type_name("FILE")->needs(ped);
    ped->needs(command.get_option("--map"));
    command
        .add_option("--pedigree", options.pedigree,
                    "Six-column pedigree of the VCF samples (family, person, father, mother, sex, phenotype), "
                    "person names as in the VCF")
        ->type_name("FILE")
        ->needs(vcf);
    vcf->needs(command.get_option("--pedigree"));

    command
        .add_option("--region", options.region,
                    "Only markers at positions FROM to TO (both included) of chromosome CHR, or of the whole "
                    "chromosome; CHR matches the file's name with or without 'chr'; a VCF or BCF is read through its "
                    "index when it has one")
        ->type_name("CHR:FROM-TO|CHR")
        ->check(CLI::Validator(
            [](std::string& text) {
                std::string problem;
                return parseRegion(text, &problem) ? std::string() : problem;
            },
            "", "region"));
    command
        .add_option("--markers", options.markers,
                    "Only the markers named in FILE (one a line); loci stay in chromosome and position order")
        ->type_name("FILE");
    command.add_option("--replicates", options.replicates, "Resampling replicates, written into tdtinput.dat")
        ->type_name("N")
        ->capture_default_str()
        ->check(CLI::Validator(checkReplicates, "", "replicate count"));
    command
        .add_option("--chromosome", options.chromosome,
                    "Only the markers of chromosome NAME (chr1 and 1 alike), written in the working folder; "
                    "without it, several chromosomes get a run folder each (chr1/, chr2/, ...)")
        ->type_name("NAME");
    command.add_flag("--all-children", options.allChildren,
                     "Unaffected children form trios too (by default only affected children, phenotype 2, do, "
                     "unless no child has an affection status)");
    CLI::Option* dropTrios = command.add_flag(
        "--drop-trios", options.dropTrios,
        "Leave out a trio with a missing genotype or a Mendelian error at any marker (by default every trio is "
        "kept, such genotypes written 0 0)");
    command
        .add_flag("--drop-markers", options.dropMarkers,
                  "Leave out the markers at which a trio has a missing genotype or a Mendelian error")
        ->excludes(dropTrios);
    command
        .add_option("--max-missing", options.maxMissing,
                    "Leave out markers at which more than RATE (0 to 1) of the genotypes of the trios' members "
                    "are missing")
        ->type_name("RATE")
        ->check(CLI::Range(0.0, 1.0));
    command
        .add_option("--missing-genotype", options.missingGenotype,
                    "The allele code of a missing genotype in the --ped file (such as N or .)")
        ->type_name("C")
        ->capture_default_str()
        ->needs(ped)
        ->check(CLI::Validator(checkMissingCode, "", "allele code"));
}

void runImport(const ImportOptions& options) {
    const ImportRun run = importGenotypes(options);
    for (const std::string& warning : run.data.warnings) std::cerr << "triotdt import: " << warning << "\n";
    std::vector<std::string> folders;
    std::vector<io::NewFile> files = importFiles(run, folders);
    refuseExistingFolders(folders);
    // A signal that arrives while the files are written removes them.
    io::writeNewFiles(folders, std::move(files), [] { driver::stopIfInterrupted(); });
    std::cout << formatSummary(run) << std::flush;
    if (!run.hasOutput()) throw ImportError("nothing is left to analyse; tdtimport.log says why");
}

}  // namespace triotdt::import
