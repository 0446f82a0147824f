#include "import/import_report.h"

#include <algorithm>

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

std::string childText(const ImportRun& run, const Trio& trio) {
    const Person& child = run.data.people[static_cast<std::size_t>(trio.child)];
    return "family " + child.family + ", child " + child.id;
}

std::string trioText(const ImportRun& run, const Trio& trio) {
    const auto& people = run.data.people;
    return childText(run, trio) + " (father " + people[static_cast<std::size_t>(trio.father)].id + ", mother " +
           people[static_cast<std::size_t>(trio.mother)].id + ")";
}

// What is wrong with one trio at one locus: who is missing, or the three
// genotypes that do not fit together.
std::string problemText(const ImportRun& run, const TrioProblem& problem) {
    const GenotypeTable& table = run.data.table;
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
Section droppedSection(const ImportRun& run, bool trios, Problem reason, const char* title) {
    const auto& dropped = trios ? run.outcome.trioDropped : run.outcome.locusDropped;
    std::vector<std::string> details(dropped.size());
    std::vector<std::size_t> counts(dropped.size());
    for (const TrioProblem& problem : run.outcome.problems) {
        const auto i = static_cast<std::size_t>(trios ? problem.trio : problem.locus);
        if (dropped[i] != reason || ++counts[i] > problemsShown) continue;
        details[i] += counts[i] == 1 ? ": " : "; ";
        details[i] += trios ? run.data.table.loci[static_cast<std::size_t>(problem.locus)].name
                            : childText(run, run.search.trios[static_cast<std::size_t>(problem.trio)]);
        details[i] += " (" + problemText(run, problem) + ")";
    }
    Section section{title, {}};
    for (std::size_t i = 0; i < dropped.size(); ++i) {
        if (dropped[i] != reason) continue;
        std::string line = trios ? trioText(run, run.search.trios[i]) : locusText(run.data.table.loci[i]);
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
    return std::to_string(kept) + " kept, " + std::to_string(countDropped(dropped, Problem::missingData)) +
           " left out for missing data, " + std::to_string(countDropped(dropped, Problem::mendelianError)) +
           " left out for Mendelian errors";
}

}  // namespace

std::string formatFamilyInput(const haplotype::FamilyData& data) {
    std::string text = std::to_string(data.familyCount) + "\n" + std::to_string(data.replicateCount) + "\n" +
                       std::to_string(data.lociCount) + "\n";
    const auto appendLine = [&](auto begin, auto end) {
        for (auto value = begin; value != end; ++value) {
            if (value != begin) text += ' ';
            text += std::to_string(*value);
        }
        text += '\n';
    };
    appendLine(data.alleleCount.begin(), data.alleleCount.end());
    const auto columns = static_cast<std::ptrdiff_t>(2 * data.lociCount);
    for (std::int32_t f = 0; f < data.familyCount; ++f) {
        for (const std::vector<std::int32_t>* alleles : {&data.fatherAlleles, &data.motherAlleles, &data.childAlleles}) {
            const auto begin = alleles->begin() + f * columns;
            appendLine(begin, begin + columns);
        }
    }
    return text;
}

std::string formatSummary(const ImportRun& run) {
    const GenotypeData& data = run.data;
    const RuleOutcome& outcome = run.outcome;
    std::string text = "Read " + data.files + ": " + plural(data.people.size(), "person", "people") + ", " +
                       plural(static_cast<std::size_t>(data.markersRead), "marker", "markers") + ".\n";
    if (data.separatePedigree) {
        const auto notInVcf = static_cast<std::size_t>(
            std::count_if(data.people.begin(), data.people.end(), [](const Person& p) { return p.column < 0; }));
        text += "Pedigree people not in the genotype file: " + std::to_string(notInVcf) +
                "; genotyped samples not in the pedigree: " + std::to_string(data.samplesNotInPedigree.size()) +
                ".\n";
    }
    if (run.region || !run.markersFile.empty()) {
        text += "Selected: ";
        if (run.region) {
            text += (run.region->whole ? "the markers of chromosome " : "the markers in ") + run.region->text() +
                    (run.markersFile.empty() ? "" : ", ");
        }
        if (!run.markersFile.empty()) text += "the markers listed in " + run.markersFile + ", in that order";
        text += ".\n";
    }
    text += "Rule: " + std::string(run.rule == DropRule::trios
                                       ? "a trio with a missing genotype or a Mendelian error at any marker is left out"
                                       : "a marker at which any trio has a missing genotype or a Mendelian error is left out") +
            ".\n";
    text += "Trios: " + std::to_string(run.search.trios.size()) + " found (" +
            plural(run.search.unmatched.size(), "child lacks", "children lack") + " a genotyped parent); " +
            keptAndDropped(outcome.trioDropped, outcome.keptTrios.size()) + ".\n";
    text += "Markers: " + std::to_string(data.table.loci.size()) + " selected; " +
            keptAndDropped(outcome.locusDropped, outcome.keptLoci.size()) + "; " +
            std::to_string(outcome.monomorphicLoci.size()) + " of those kept monomorphic.\n";
    if (run.hasOutput()) {
        text += "Output: tdtinput.dat (" + plural(outcome.keptTrios.size(), "family", "families") + ", " +
                plural(outcome.keptLoci.size(), "locus", "loci") + ", " + std::to_string(run.replicateCount) +
                " replicates), tdtloci.tsv and tdtimport.log, which lists every trio and marker left out.\n";
    } else {
        text += std::string("Output: only tdtimport.log: no ") + (outcome.keptTrios.empty() ? "trio" : "marker") +
                " is left to analyse" +
                (run.rule == DropRule::trios && !run.search.trios.empty() && outcome.keptTrios.empty()
                     ? " (--drop-markers leaves out markers instead of trios)"
                     : "") +
                ".\n";
    }
    return text;
}

std::string formatLog(const ImportRun& run) {
    const GenotypeData& data = run.data;
    const GenotypeTable& table = data.table;
    std::string text = "triotdt import\n\n" + formatSummary(run);
    if (const std::int64_t haploid = countHaploidCalls(table); haploid > 0) {
        const auto markers = std::count_if(table.loci.begin(), table.loci.end(),
                                           [](const Locus& locus) { return locus.haploidCalls > 0; });
        text += "Haploid calls read as missing genotypes: " + std::to_string(haploid) + ", at " +
                plural(static_cast<std::size_t>(markers), "marker", "markers") + ".\n";
    }
    appendSection(text, droppedSection(run, true, Problem::missingData, "Trios left out for missing data"));
    appendSection(text, droppedSection(run, true, Problem::mendelianError, "Trios left out for Mendelian errors"));
    appendSection(text, droppedSection(run, false, Problem::missingData, "Markers left out for missing data"));
    appendSection(text, droppedSection(run, false, Problem::mendelianError, "Markers left out for Mendelian errors"));

    Section monomorphic{"Monomorphic markers, kept", {}};
    for (const std::int32_t l : run.outcome.monomorphicLoci) {
        const Locus& locus = table.loci[static_cast<std::size_t>(l)];
        const Trio& trio = run.search.trios[static_cast<std::size_t>(run.outcome.keptTrios.front())];
        const Genotype carried = table.at(static_cast<std::size_t>(l), trio.father);
        monomorphic.lines.push_back(locusText(locus) + ": every kept trio carries only " +
                                    locus.alleles[static_cast<std::size_t>(carried.first - 1)]);
    }
    appendSection(text, monomorphic);

    Section unmatched{"Children who form no trio", {}};
    for (const UnmatchedChild& child : run.search.unmatched) {
        const Person& person = data.people[static_cast<std::size_t>(child.child)];
        unmatched.lines.push_back("family " + person.family + ", child " + person.id + ": " + child.reason);
    }
    appendSection(text, unmatched);

    Section notGenotyped{"Pedigree people not in the genotype file", {}};
    for (const Person& person : data.people) {
        if (person.column < 0) notGenotyped.lines.push_back("family " + person.family + ", person " + person.id);
    }
    appendSection(text, notGenotyped);
    appendSection(text, {"Genotyped samples not in the pedigree", data.samplesNotInPedigree});

    Section families{"Families of tdtinput.dat", {}};
    if (run.hasOutput()) {
        for (const std::int32_t t : run.outcome.keptTrios) {
            families.lines.push_back(std::to_string(families.lines.size() + 1) + ": " +
                                     trioText(run, run.search.trios[static_cast<std::size_t>(t)]));
        }
    }
    appendSection(text, families);
    return text;
}

}  // namespace triotdt::import
