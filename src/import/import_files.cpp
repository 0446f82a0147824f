#include "import/import_files.h"

#include <algorithm>
#include <filesystem>
#include <span>

#include "import/import_error.h"
#include "input/child_sexes.h"
#include "input/family_writer.h"
#include "io/file_names.h"

namespace triotdt::import {
namespace {

using io::inputFileName;
using io::lociFileName;
using io::trioListFileName;

// One record of tdtinput.dat: `person`'s genotypes at the kept loci, renumbered;
// `blanked` (sorted by locus) holds the trio's problems, of which the
// Mendelian errors are written missing when the child's record is written.
void fillRecord(std::vector<std::int32_t>& record, const GenotypeTable& table, const RuleOutcome& outcome,
                std::int32_t person, std::span<const TrioProblem> blanked) {
    record.clear();
    auto problem = blanked.begin();
    for (std::size_t k = 0; k < outcome.keptLoci.size(); ++k) {
        const std::int32_t l = outcome.keptLoci[k];
        Genotype g = table.at(static_cast<std::size_t>(l), person);
        while (problem != blanked.end() && problem->locus < l) ++problem;
        if (problem != blanked.end() && problem->locus == l && problem->problem == Problem::mendelianError) g = {};
        const std::vector<std::int32_t>& numbers = outcome.alleleNumbers[k];
        record.push_back(g.missing() ? 0 : numbers[static_cast<std::size_t>(g.first - 1)]);
        record.push_back(g.missing() ? 0 : numbers[static_cast<std::size_t>(g.second - 1)]);
    }
}

}  // namespace

void checkOutputsAbsent() {
    for (const char* name : {inputFileName, lociFileName, trioListFileName, io::sexFileName, logName}) {
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(name, error))) {
            throw ImportError(std::string(name) +
                              " already exists; move or delete it first (the import never overwrites)");
        }
    }
}

void refuseExistingFolders(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(folder, error))) {
            throw ImportError(folder + " already exists; move or delete it first (the import never overwrites)");
        }
    }
}

std::vector<io::NewFile> importFiles(const ImportRun& run, std::vector<std::string>& folders) {
    std::vector<io::NewFile> files;
    for (const ChromosomeImport& part : run.parts) {
        if (!part.hasOutput()) continue;
        files.push_back({part.path(inputFileName), {}, [&run, &part](io::OutputUnit& unit, const auto& pieceDone) {
                             writeKeptInput(unit, part.table, run.search.trios, part.outcome, run.replicateCount,
                                            pieceDone);
                         }});
        files.push_back(
            {part.path(lociFileName), output::formatLociTable(buildLociRows(part.table, part.outcome)), {}});
        files.push_back({part.path(trioListFileName), formatTrioList(run, part.outcome), {}});
        if (part.inheritance == haplotype::Inheritance::xLinked) {
            files.push_back({part.path(io::sexFileName), input::formatChildSexes(keptChildSexes(run, part)), {}});
        }
        if (part.folder.empty()) continue;
        folders.push_back(part.folder);
        files.push_back({part.path(logName), formatChromosomeLog(run, part), {}});
    }
    files.push_back({logName, formatLog(run), {}});
    return files;
}

void writeKeptInput(io::OutputUnit& unit, const GenotypeTable& table, const std::vector<Trio>& trios,
                    const RuleOutcome& outcome, std::int32_t replicateCount, const std::function<void()>& familyDone) {
    haplotype::FamilyData head;
    head.familyCount = static_cast<std::int32_t>(outcome.keptTrios.size());
    head.replicateCount = replicateCount;
    head.lociCount = static_cast<std::int32_t>(outcome.keptLoci.size());
    for (const std::vector<std::int32_t>& numbers : outcome.alleleNumbers) {
        head.alleleCount.push_back(*std::max_element(numbers.begin(), numbers.end()));
    }
    input::appendFamilyHead(unit.text(), head);
    input::TrioRecords records;
    const auto byTrio = [](const TrioProblem& p, std::int32_t trio) { return p.trio < trio; };
    for (const std::int32_t t : outcome.keptTrios) {
        const Trio& trio = trios[static_cast<std::size_t>(t)];
        std::span<const TrioProblem> blanked;
        if (outcome.blanksMendelianErrors) {
            const auto first = std::lower_bound(outcome.problems.begin(), outcome.problems.end(), t, byTrio);
            const auto last =
                std::find_if(first, outcome.problems.end(), [t](const TrioProblem& p) { return p.trio != t; });
            blanked = {first, last};
        }
        fillRecord(records.father, table, outcome, trio.father, {});
        fillRecord(records.mother, table, outcome, trio.mother, {});
        fillRecord(records.child, table, outcome, trio.child, blanked);
        input::appendTrio(unit.text(), records);
        unit.flushIfLarge();
        if (familyDone) familyDone();
    }
}

std::string formatTrioList(const ImportRun& run, const RuleOutcome& outcome) {
    const auto& people = run.data.people;
    std::string text = "family\tchild\tfather\tmother\n";
    for (const std::int32_t t : outcome.keptTrios) {
        const Trio& trio = run.search.trios[static_cast<std::size_t>(t)];
        const Person& child = people[static_cast<std::size_t>(trio.child)];
        text += child.family + '\t' + child.id + '\t' + people[static_cast<std::size_t>(trio.father)].id + '\t' +
                people[static_cast<std::size_t>(trio.mother)].id + '\n';
    }
    return text;
}

std::vector<output::LocusRow> buildLociRows(const GenotypeTable& table, const RuleOutcome& outcome) {
    std::vector<output::LocusRow> rows;
    for (std::size_t k = 0; k < outcome.keptLoci.size(); ++k) {
        const Locus& locus = table.loci[static_cast<std::size_t>(outcome.keptLoci[k])];
        std::vector<std::string> carried;
        for (std::size_t a = 0; a < locus.alleles.size(); ++a) {
            if (outcome.alleleNumbers[k][a] != 0) carried.push_back(locus.alleles[a]);
        }
        rows.push_back({static_cast<std::int32_t>(rows.size()) + 1, locus.chromosome, locus.position, locus.name,
                        std::move(carried)});
    }
    return rows;
}

}  // namespace triotdt::import
