#include "import/import_command.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <new>

#include <CLI/CLI.hpp>

#include "import/import_error.h"
#include "import/import_report.h"
#include "import/plink_input.h"
#include "import/vcf_input.h"
#include "output/loci_table.h"
#include "io/output_unit.h"
#include "io/run_error.h"

namespace triotdt::import {
namespace {

constexpr const char* inputName = "tdtinput.dat";
constexpr const char* lociName = "tdtloci.tsv";
constexpr const char* logName = "tdtimport.log";

struct NewFile {
    const char* name;
    std::string text;
};

// Creates every file new, writes it whole and closes it; when anything
// fails, removes the files it created, so that none is left looking complete.
void writeNewFiles(const std::vector<NewFile>& files) {
    std::vector<std::string> created;
    try {
        std::vector<io::OutputUnit> units;
        units.reserve(files.size());
        for (const NewFile& file : files) {
            units.push_back(io::OutputUnit::createNew(file.name, "\n"));
            created.emplace_back(file.name);
        }
        for (std::size_t i = 0; i < files.size(); ++i) {
            units[i].text() = files[i].text;
            units[i].finish();
        }
    } catch (...) {
        for (const std::string& name : created) std::remove(name.c_str());
        throw;
    }
}

// Fails early, before a long read, when an output file is there already.
void checkOutputsAbsent() {
    for (const char* name : {inputName, lociName, logName}) {
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(name, error))) {
            throw ImportError(std::string(name) + " already exists; move or delete it first (the import never overwrites)");
        }
    }
}

// The input the options name; the command line makes sure there is exactly one.
void checkInputChoice(const ImportOptions& options) {
    const int chosen = !options.ped.empty() + !options.bfile.empty() + !options.vcf.empty();
    if (chosen != 1) throw ImportError("give one input: --ped with --map, --bfile, or --vcf with --pedigree");
    if (options.ped.empty() != options.map.empty()) throw ImportError("--ped and --map go together");
    if (options.vcf.empty() != options.pedigree.empty()) throw ImportError("--vcf and --pedigree go together");
    if (options.replicates < 1) throw ImportError("--replicates must be 1 or more");
}

GenotypeData readGenotypes(const ImportOptions& options, const MarkerSelection& selection) {
    if (!options.ped.empty()) return readPlinkText(options.ped, options.map, selection);
    if (!options.bfile.empty()) return readPlinkBinary(options.bfile, selection);
    return readVcf(options.vcf, options.pedigree, selection);
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
    run.rule = options.dropMarkers ? DropRule::markers : DropRule::trios;
    checkOutputsAbsent();

    const MarkerSelection selection = selectMarkers(run.region, options.markers);
    run.data = readGenotypes(options, selection);
    arrangeLoci(run.data.table, selection);
    run.search = findTrios(run.data.people);
    run.outcome = applyRule(run.data.table, run.search.trios, run.rule);
    return run;
}

}  // namespace

void addImportOptions(CLI::App& command, ImportOptions& options) {
    CLI::Option_group* input = command.add_option_group("input", "The genotype files (one of the three kinds)");
    CLI::Option* ped = input->add_option("--ped", options.ped, "PLINK text genotypes (.ped)")->type_name("FILE");
    input->add_option("--bfile", options.bfile, "PLINK binary files PREFIX.bed (SNP-major), PREFIX.bim and PREFIX.fam")
        ->type_name("PREFIX");
    CLI::Option* vcf = input->add_option("--vcf", options.vcf,
                                         "VCF (.vcf or bgzip-compressed .vcf.gz) or BCF genotypes")
                           ->type_name("FILE");
    input->require_option(1);

    command.add_option("--map", options.map, "The markers of the --ped file (.map)")->type_name("FILE")->needs(ped);
    ped->needs(command.get_option("--map"));
    command.add_option("--pedigree", options.pedigree,
                       "Six-column pedigree of the VCF samples (family, person, father, mother, sex, phenotype), "
                       "person names as in the VCF")
        ->type_name("FILE")
        ->needs(vcf);
    vcf->needs(command.get_option("--pedigree"));

    command
        .add_option("--region", options.region,
                    "Only markers at positions FROM to TO (both included) of chromosome CHR; a VCF or BCF is read "
                    "through its index when it has one")
        ->type_name("CHR:FROM-TO")
        ->check(CLI::Validator(
            [](std::string& text) {
                std::string problem;
                return parseRegion(text, &problem) ? std::string() : problem;
            },
            "", "region"));
    command.add_option("--markers", options.markers,
                       "Only the markers named in FILE (one a line), in the order of the file")
        ->type_name("FILE");
    command.add_option("--replicates", options.replicates, "Resampling replicates, written into tdtinput.dat")
        ->type_name("N")
        ->capture_default_str()
        ->check(CLI::Range(1, std::numeric_limits<std::int32_t>::max()));
    command.add_flag("--drop-markers", options.dropMarkers,
                     "Leave out the markers at which a trio has a missing genotype or a Mendelian error, instead "
                     "of such trios");
}

int runImport(const ImportOptions& options) {
    try {
        const ImportRun run = importGenotypes(options);
        const std::string log = formatLog(run);
        if (!run.hasOutput()) {
            writeNewFiles({{logName, log}});
            std::cout << formatSummary(run) << std::flush;
            std::cerr << "triotdt import: nothing is left to analyse; tdtimport.log says why\n";
            return 1;
        }
        const haplotype::FamilyData families =
            buildFamilyData(run.data.table, run.search.trios, run.outcome, run.replicateCount);
        writeNewFiles({{inputName, formatFamilyInput(families)},
                       {lociName, output::formatLociTable(buildLociRows(run.data.table, run.outcome))},
                       {logName, log}});
        std::cout << formatSummary(run) << std::flush;
        return 0;
    } catch (const ImportError& error) {
        std::cerr << "triotdt import: " << error.what() << "\n";
    } catch (const io::RunError& error) {
        std::cerr << "triotdt import: " << error.statement << ": " << error.reason << "\n";
    } catch (const std::bad_alloc&) {
        std::cerr << "triotdt import: out of memory\n";
    } catch (const std::exception& error) {
        std::cerr << "triotdt import: internal error: " << error.what() << "\n";
    }
    return 1;
}

}  // namespace triotdt::import
