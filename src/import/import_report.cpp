#include "import/import_report.h"

#include <algorithm>
#include <cstdio>

#include "io/file_names.h"

namespace triotdt::import {
namespace {

// Problems listed on one line of the log before "and N more".
constexpr std::size_t problemsShown = 10;

std::string plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string genotypeText(const Locus& locus, Genotype g) {
    return locus.alleles[static_cast<std::size_t>(g.first - 1)] + "/" +
           locus.alleles[static_cast<std::size_t>(g.second - 1)];
}

std::string locusText(const Locus& locus) {
    return locus.name + " (" + locus.chromosome + ":" + std::to_string(locus.position) + ")";
}

std::string childText(const ImportRun& run, std::int32_t child) {
    const Person& person = run.data.people[static_cast<std::size_t>(child)];
    return "family " + person.family + ", child " + person.id;
}

std::string trioText(const ImportRun& run, const Trio& trio) {
    const auto& people = run.data.people;
    return childText(run, trio.child) + " (father " + people[static_cast<std::size_t>(trio.father)].id + ", mother " +
           people[static_cast<std::size_t>(trio.mother)].id + ")";
}

// What is wrong with one trio at one locus: who is missing, or the three
// genotypes that do not fit together.
std::string problemText(const ImportRun& run, const GenotypeTable& table, const TrioProblem& problem) {
    const Trio& trio = run.search.trios[static_cast<std::size_t>(problem.trio)];
    const auto locus = static_cast<std::size_t>(problem.locus);
    const std::pair<const char*, std::int32_t> members[] = {
        {"father", trio.father}, {"mother", trio.mother}, {"child", trio.child}};
    std::string text;
    for (const auto& [role, person] : members) {
        const Genotype g = table.at(locus, person);
        if (problem.problem == Problem::missingData) {
            if (g.missing()) text += std::string(text.empty() ? "missing for the " : " and the ") + role;
        } else {
            text += std::string(text.empty() ? "" : ", ") + role + " " + genotypeText(table.loci[locus], g);
        }
    }
    return text;
}

struct Section {
    std::string title;
    std::vector<std::string> lines;
};

void appendSection(std::string& out, const Section& section) {
    if (section.lines.empty()) return;
    out += "\n" + section.title + " (" + std::to_string(section.lines.size()) + "):\n";
    for (const std::string& line : section.lines) out += "  " + line + "\n";
}

// One line per trio or marker left out for `reason`: its name, then each of
// its problems, named by marker for a trio and by trio for a marker.
Section droppedSection(const ImportRun& run, const ChromosomeImport& part, bool trios, Problem reason,
                       const char* title) {
    const RuleOutcome& outcome = part.outcome;
    const auto& dropped = trios ? outcome.trioDropped : outcome.locusDropped;
    std::vector<std::string> details(dropped.size());
    std::vector<std::size_t> counts(dropped.size());
    for (const TrioProblem& problem : outcome.problems) {
        const auto i = static_cast<std::size_t>(trios ? problem.trio : problem.locus);
        if (dropped[i] != reason || ++counts[i] > problemsShown) continue;
        details[i] += counts[i] == 1 ? ": " : "; ";
        details[i] += trios ? part.table.loci[static_cast<std::size_t>(problem.locus)].name
                            : childText(run, run.search.trios[static_cast<std::size_t>(problem.trio)].child);
        details[i] += " (" + problemText(run, part.table, problem) + ")";
    }
    Section section{title, {}};
    for (std::size_t i = 0; i < dropped.size(); ++i) {
        if (dropped[i] != reason) continue;
        std::string line = trios ? trioText(run, run.search.trios[i]) : locusText(part.table.loci[i]);
        if (!trios && counts[i] == 0) line += ": no kept trio has a genotype there";
        line += details[i];
        if (counts[i] > problemsShown) line += "; and " + std::to_string(counts[i] - problemsShown) + " more";
        section.lines.push_back(std::move(line));
    }
    return section;
}

std::size_t countDropped(const std::vector<std::optional<Problem>>& dropped, Problem reason) {
    return static_cast<std::size_t>(std::count(dropped.begin(), dropped.end(), std::optional<Problem>(reason)));
}

std::string keptAndDropped(const std::vector<std::optional<Problem>>& dropped, std::size_t kept) {
    std::string text = std::to_string(kept) + " kept, " + std::to_string(countDropped(dropped, Problem::missingData)) +
                       " left out for missing data, " + std::to_string(countDropped(dropped, Problem::mendelianError)) +
                       " left out for Mendelian errors";
    if (const std::size_t unknown = countDropped(dropped, Problem::unknownSex); unknown > 0) {
        text += ", " + std::to_string(unknown) + " left out for a child of unknown sex";
    }
    return text;
}

std::string shareText(double share) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", share);
    return text;
}

std::string ruleLine(const ImportRun& run) {
    std::string text = "Rule: ";
    switch (run.rules.rule) {
        case DropRule::genotype:
            text +=
                "every trio is kept; a missing genotype is written 0 0, and so is the child's genotype at a Mendelian "
                "error, so a trio leaves only the windows holding such a marker";
            break;
        case DropRule::trios:
            text += "a trio with a missing genotype or a Mendelian error at any marker is left out";
            break;
        case DropRule::markers:
            text += "a marker at which any trio has a missing genotype or a Mendelian error is left out";
            break;
    }
    if (run.rules.maxMissing) {
        text += "; a marker with more than " + shareText(*run.rules.maxMissing) +
                " of the trios' members' genotypes missing is left out (--max-missing)";
    }
    return text + ".\n";
}

std::string childrenLine(const ImportRun& run) {
    const TrioSearch& search = run.search;
    std::string text = "Children: " + std::to_string(search.children) + " genotyped";
    if (search.noAffectionStatus) {
        text += ", none with an affection status in the pedigree, so every one is used";
    } else if (run.children == ChildChoice::all) {
        text += ", every one used, affected or not (--all-children)";
    } else {
        text += "; " + std::to_string(search.children - static_cast<std::int32_t>(search.notAffected.size())) +
                " affected used, " + std::to_string(search.notAffected.size()) +
                " not affected left out (--all-children keeps them)";
    }
    return text + "; " + plural(search.unmatched.size(), "child forms", "children form") + " no trio.\n";
}

std::string chromosomeNamesLine(const ImportRun& run) {
    std::string read;
    for (const std::vector<std::string>& names : run.chromosomeNames) {
        for (std::size_t n = 1; n < names.size(); ++n) {
            read += (read.empty() ? "" : ", ") + names[n] + " is read as " + names.front();
        }
    }
    return read.empty() ? read : "Chromosome names: " + read + " (a chr prefix does not count).\n";
}

std::string markersLine(const ImportRun& run) {
    std::string text;
    if (!run.leftOutLoci.empty()) {
        text += "Chromosomes Y and MT: " + plural(run.leftOutLoci.size(), "marker", "markers") +
                " left out (their inheritance is not modelled).\n";
    }
    if (!run.chromosome.empty()) {
        text += "Chromosome " + run.chromosome + " only (--chromosome): " +
                plural(static_cast<std::size_t>(run.otherChromosomeLoci), "marker", "markers") +
                " of other chromosomes left out.\n";
    }
    return text;
}

// The lines of one chromosome's analysis: trios, markers, genotypes, alleles.
std::string partLines(const ImportRun& run, const ChromosomeImport& part, const std::string& indent) {
    const RuleOutcome& outcome = part.outcome;
    std::string text = indent + "Trios: " + std::to_string(run.search.trios.size()) + " found; " +
                       keptAndDropped(outcome.trioDropped, outcome.keptTrios.size()) + ".\n";
    text += indent + "Markers: " + std::to_string(part.table.loci.size()) + " selected; " +
            keptAndDropped(outcome.locusDropped, outcome.keptLoci.size());
    if (run.rules.maxMissing) text += ", " + std::to_string(outcome.sparseLoci.size()) + " left out by --max-missing";
    text += "; " + std::to_string(outcome.monomorphicLoci.size()) + " of those kept monomorphic.\n";
    if (part.inheritance == haplotype::Inheritance::xLinked && part.hasOutput()) {
        const std::vector<haplotype::ChildSex> sexes = keptChildSexes(run, part);
        const auto sons = static_cast<std::size_t>(std::count(sexes.begin(), sexes.end(), haplotype::ChildSex::son));
        text += indent + "Chromosome X: " + plural(sons, "son", "sons") + " and " +
                plural(sexes.size() - sons, "daughter", "daughters") +
                " in the kept trios; only mothers' transmissions are analysed; " +
                plural(part.maleCalls.size(), "heterozygous call", "heterozygous calls") +
                " of fathers and sons written 0 0 (a male has one X).\n";
    }
    if (run.rules.rule == DropRule::genotype && part.hasOutput()) {
        text += indent + "Genotypes: " + std::to_string(outcome.genotypesWritten) + " written, " +
                std::to_string(outcome.missingWritten) + " of them missing (0 0); " +
                plural(static_cast<std::size_t>(outcome.mendelianWritten), "Mendelian error", "Mendelian errors") +
                ", the child's genotype written 0 0 there.\n";
    }
    std::size_t uncarried = 0;
    for (std::size_t k = 0; k < outcome.keptLoci.size(); ++k) {
        uncarried +=
            static_cast<std::size_t>(std::count(outcome.alleleNumbers[k].begin(), outcome.alleleNumbers[k].end(), 0));
    }
    if (uncarried > 0 && part.hasOutput()) {
        text += indent + "Alleles: " + plural(uncarried, "allele", "alleles") +
                " of kept markers carried by no one imported, left out of the numbering.\n";
    }
    if (part.hasOutput()) {
        const auto families = outcome.keptTrios.size(), loci = outcome.keptLoci.size();
        const bool onX = part.inheritance == haplotype::Inheritance::xLinked;
        text += indent + "Output: " + part.path(io::inputFileName) + " (" + plural(families, "family", "families") +
                ", " + plural(loci, "locus", "loci") + ", " + std::to_string(run.replicateCount) + " replicates), " +
                part.path(io::lociFileName) + ", " + part.path(io::trioListFileName) +
                (onX ? ", " + part.path(io::sexFileName) : std::string()) + " and " + part.path("tdtimport.log") +
                ", which lists every trio and marker left out.\n";
    } else {
        text += indent + "Output: " + (part.folder.empty() ? "only tdtimport.log" : "none") + ": no " +
                (outcome.keptTrios.empty() ? "trio" : "marker") + " is left to analyse" +
                (run.rules.rule == DropRule::trios && !run.search.trios.empty() && outcome.keptTrios.empty()
                     ? " (--drop-markers leaves out markers instead of trios)"
                     : "") +
                ".\n";
    }
    return text;
}

Section leftOutLociSection(const ImportRun& run) {
    Section section{"Markers of Y and MT, left out", {}};
    for (const Locus& locus : run.leftOutLoci) section.lines.push_back(locusText(locus));
    return section;
}

Section maleCallSection(const ImportRun& run, const ChromosomeImport& part) {
    Section section{"Heterozygous calls of males on X, written 0 0", {}};
    const std::vector<bool> fathers = [&] {
        std::vector<bool> marked(run.data.people.size());
        for (const Trio& trio : run.search.trios) marked[static_cast<std::size_t>(trio.father)] = true;
        return marked;
    }();
    for (const MaleCall& call : part.maleCalls) {
        const Person& person = run.data.people[static_cast<std::size_t>(call.person)];
        const Locus& locus = part.table.loci[static_cast<std::size_t>(call.locus)];
        section.lines.push_back("family " + person.family +
                                (fathers[static_cast<std::size_t>(call.person)] ? ", father " : ", son ") + person.id +
                                ", marker " + locusText(locus) + ": " + genotypeText(locus, call.genotype));
    }
    return section;
}

void appendPeopleSections(std::string& text, const ImportRun& run) {
    Section unmatched{"Children who form no trio", {}};
    for (const UnmatchedChild& child : run.search.unmatched) {
        unmatched.lines.push_back(childText(run, child.child) + ": " + child.reason);
    }
    appendSection(text, unmatched);
    Section notAffected{"Children left out as not affected", {}};
    for (const std::int32_t child : run.search.notAffected) {
        const std::string& phenotype = run.data.people[static_cast<std::size_t>(child)].phenotype;
        notAffected.lines.push_back(childText(run, child) + ": phenotype " + phenotype);
    }
    appendSection(text, notAffected);

    Section notGenotyped{"Pedigree people not in the genotype file", {}};
    for (const Person& person : run.data.people) {
        if (person.column < 0) notGenotyped.lines.push_back("family " + person.family + ", person " + person.id);
    }
    appendSection(text, notGenotyped);
    appendSection(text, {"Genotyped samples not in the pedigree", run.data.samplesNotInPedigree});
}

void appendChromosomeSections(std::string& text, const ImportRun& run, const ChromosomeImport& part) {
    const RuleOutcome& outcome = part.outcome;
    const GenotypeTable& table = part.table;
    appendSection(text, droppedSection(run, part, true, Problem::missingData, "Trios left out for missing data"));
    appendSection(text,
                  droppedSection(run, part, true, Problem::mendelianError, "Trios left out for Mendelian errors"));
    appendSection(text, droppedSection(run, part, true, Problem::unknownSex,
                                       "Trios left out of X: the child's sex is not known"));
    appendSection(text, droppedSection(run, part, false, Problem::missingData, "Markers left out for missing data"));
    appendSection(text,
                  droppedSection(run, part, false, Problem::mendelianError, "Markers left out for Mendelian errors"));

    Section sparse{"Markers left out by --max-missing", {}};
    for (const std::int32_t l : outcome.sparseLoci) {
        sparse.lines.push_back(locusText(table.loci[static_cast<std::size_t>(l)]) + ": " +
                               shareText(outcome.missingShare[static_cast<std::size_t>(l)]) + " missing");
    }
    appendSection(text, sparse);

    Section errors{"Mendelian errors, the child's genotype written 0 0", {}};
    for (const TrioProblem& problem : outcome.problems) {
        if (!outcome.blanksMendelianErrors || problem.problem != Problem::mendelianError ||
            outcome.locusDropped[static_cast<std::size_t>(problem.locus)]) {
            continue;
        }
        errors.lines.push_back(childText(run, run.search.trios[static_cast<std::size_t>(problem.trio)].child) +
                               ", marker " + locusText(table.loci[static_cast<std::size_t>(problem.locus)]) + ": " +
                               problemText(run, table, problem));
    }
    appendSection(text, errors);
    appendSection(text, maleCallSection(run, part));

    Section uncarried{"Alleles carried by no one imported, left out of the numbering", {}};
    Section monomorphic{"Monomorphic markers, kept", {}};
    for (std::size_t k = 0; k < outcome.keptLoci.size() && part.hasOutput(); ++k) {
        const Locus& locus = table.loci[static_cast<std::size_t>(outcome.keptLoci[k])];
        std::string unused, carried;
        for (std::size_t a = 0; a < locus.alleles.size(); ++a) {
            std::string& list = outcome.alleleNumbers[k][a] == 0 ? unused : carried;
            list += (list.empty() ? "" : ",") + locus.alleles[a];
        }
        if (!unused.empty()) uncarried.lines.push_back(locusText(locus) + ": " + unused);
        if (std::count(outcome.monomorphicLoci.begin(), outcome.monomorphicLoci.end(), outcome.keptLoci[k]) != 0) {
            monomorphic.lines.push_back(locusText(locus) + ": every kept trio carries only " + carried);
        }
    }
    appendSection(text, uncarried);
    appendSection(text, monomorphic);
}

void appendFamilies(std::string& text, const ImportRun& run, const ChromosomeImport& part) {
    Section families{"Families of " + part.path(io::inputFileName), {}};
    if (part.hasOutput()) {
        for (const std::int32_t t : part.outcome.keptTrios) {
            families.lines.push_back(std::to_string(families.lines.size() + 1) + ": " +
                                     trioText(run, run.search.trios[static_cast<std::size_t>(t)]));
        }
    }
    appendSection(text, families);
}

bool splitByChromosome(const ImportRun& run) { return run.parts.size() != 1 || !run.parts.front().folder.empty(); }

}  // namespace

std::vector<haplotype::ChildSex> keptChildSexes(const ImportRun& run, const ChromosomeImport& part) {
    std::vector<haplotype::ChildSex> sexes;
    for (const std::int32_t t : part.outcome.keptTrios) {
        const bool son = run.childSexes[static_cast<std::size_t>(t)] == Sex::male;
        sexes.push_back(son ? haplotype::ChildSex::son : haplotype::ChildSex::daughter);
    }
    return sexes;
}

bool ImportRun::hasOutput() const {
    return std::any_of(parts.begin(), parts.end(), [](const ChromosomeImport& part) { return part.hasOutput(); });
}

std::string formatSummary(const ImportRun& run) {
    const GenotypeData& data = run.data;
    std::string text = "Read " + data.files + ": " + plural(data.people.size(), "person", "people") + ", " +
                       plural(static_cast<std::size_t>(data.markersRead), "marker", "markers") + ".\n";
    if (data.separatePedigree) {
        const auto notInVcf = static_cast<std::size_t>(
            std::count_if(data.people.begin(), data.people.end(), [](const Person& p) { return p.column < 0; }));
        text += "Pedigree people not in the genotype file: " + std::to_string(notInVcf) +
                "; genotyped samples not in the pedigree: " + std::to_string(data.samplesNotInPedigree.size()) + ".\n";
    }
    if (run.region || !run.markersFile.empty()) {
        text += "Selected: " + std::to_string(run.markersSelected) + " markers, ";
        if (run.region) {
            text += (run.region->whole ? "those of chromosome " : "those in ") + run.region->text() +
                    (run.markersFile.empty() ? "" : " and ");
        }
        if (!run.markersFile.empty())
            text += (run.region ? "" : "those ") + std::string("listed in ") + run.markersFile;
        text += ".\n";
    }
    text += "Order: loci by chromosome (1, 2, ..., 22, then others by name) and by position.\n";
    text += chromosomeNamesLine(run);
    text += markersLine(run) + ruleLine(run) + childrenLine(run);
    if (!splitByChromosome(run)) return text + partLines(run, run.parts.front(), "");

    std::string folders;
    for (const ChromosomeImport& part : run.parts) {
        if (part.hasOutput()) folders += (folders.empty() ? "" : ", ") + part.folder + "/";
    }
    text += "Chromosomes: " + std::to_string(run.parts.size()) +
            ", each analysed apart in a run folder of its own (run triotdt in each):\n";
    for (const ChromosomeImport& part : run.parts) {
        text += "Chromosome " + part.chromosome + ", in " + part.folder + "/:\n" + partLines(run, part, "  ");
    }
    text += "Output: " +
            (folders.empty() ? std::string("only tdtimport.log: nothing is left to analyse")
                             : "the run folders " + folders + " and tdtimport.log") +
            ".\n";
    return text;
}

std::string formatLog(const ImportRun& run) {
    std::string text = "triotdt import\n\n" + formatSummary(run);
    std::int64_t haploid = 0;
    std::size_t haploidMarkers = 0;
    for (const ChromosomeImport& part : run.parts) {
        haploid += countHaploidCalls(part.table);
        haploidMarkers += static_cast<std::size_t>(std::count_if(
            part.table.loci.begin(), part.table.loci.end(), [](const Locus& locus) { return locus.haploidCalls > 0; }));
    }
    if (haploid > 0) {
        text += "Haploid calls read as missing genotypes: " + std::to_string(haploid) + ", at " +
                plural(haploidMarkers, "marker", "markers") + ".\n";
    }
    appendPeopleSections(text, run);
    appendSection(text, leftOutLociSection(run));
    if (!splitByChromosome(run)) {
        appendChromosomeSections(text, run, run.parts.front());
        appendFamilies(text, run, run.parts.front());
    }
    return text;
}

std::string formatChromosomeLog(const ImportRun& run, const ChromosomeImport& part) {
    std::string text = "triotdt import: chromosome " + part.chromosome + "\n\n" + formatSummary(run);
    appendChromosomeSections(text, run, part);
    appendFamilies(text, run, part);
    return text;
}

}  // namespace triotdt::import
