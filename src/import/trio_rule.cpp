#include "import/trio_rule.h"

#include <algorithm>
#include <span>

#include "haplotype/phasing.h"

namespace triotdt::import {
namespace {

// On X (`sexOnX` known) a son needs no father, and a child's alleles must
// fit the X rules.
std::optional<Problem> findProblem(const GenotypeTable& table, std::size_t locus, const Trio& trio, Sex sexOnX) {
    const Genotype f = table.at(locus, trio.father), m = table.at(locus, trio.mother), c = table.at(locus, trio.child);
    if (sexOnX == Sex::unknown) {
        if (f.missing() || m.missing() || c.missing()) return Problem::missingData;
        if (!haplotype::phaseLocus(f.first, f.second, m.first, m.second, c.first, c.second)) {
            return Problem::mendelianError;
        }
        return std::nullopt;
    }
    const auto sex = sexOnX == Sex::male ? haplotype::ChildSex::son : haplotype::ChildSex::daughter;
    if (m.missing() || c.missing() || (sex == haplotype::ChildSex::daughter && f.missing())) {
        return Problem::missingData;
    }
    if (!haplotype::phaseMaternalLocus(sex, f.first, f.second, m.first, m.second, c.first, c.second)) {
        return Problem::mendelianError;
    }
    return std::nullopt;
}

// Missing data outweighs a Mendelian error as the reason something is left out.
void noteReason(std::optional<Problem>& reason, Problem problem) {
    if (!reason || problem == Problem::missingData) reason = problem;
}

// Every person of some trio, once, however many children they have.
std::vector<std::int32_t> trioMembers(const std::vector<Trio>& trios) {
    std::vector<std::int32_t> members;
    for (const Trio& trio : trios) members.insert(members.end(), {trio.father, trio.mother, trio.child});
    std::sort(members.begin(), members.end());
    members.erase(std::unique(members.begin(), members.end()), members.end());
    return members;
}

double missingShare(const GenotypeTable& table, std::size_t locus, const std::vector<std::int32_t>& members) {
    if (members.empty()) return 0.0;
    const auto missing =
        std::count_if(members.begin(), members.end(), [&](std::int32_t p) { return table.at(locus, p).missing(); });
    return static_cast<double>(missing) / static_cast<double>(members.size());
}

// The genotype written for one member of a trio: missing for a missing
// genotype and, when the rule says so, for a child with a Mendelian error.
Genotype writtenGenotype(const GenotypeTable& table, const RuleOutcome& outcome, const std::vector<Trio>& trios,
                         std::int32_t t, std::int32_t l, std::int32_t person) {
    const bool blanked = person == trios[static_cast<std::size_t>(t)].child && outcome.writtenMissing(t, l);
    return blanked ? Genotype{} : table.at(static_cast<std::size_t>(l), person);
}

// Numbers the alleles the kept trios carry at a locus, in file order, and
// counts what is written.
std::vector<std::int32_t> numberCarriedAlleles(const GenotypeTable& table, const std::vector<Trio>& trios,
                                               RuleOutcome& outcome, std::int32_t l) {
    const Locus& locus = table.loci[static_cast<std::size_t>(l)];
    std::vector<std::int32_t> numbers(locus.alleles.size(), 0);
    for (const std::int32_t t : outcome.keptTrios) {
        const Trio& trio = trios[static_cast<std::size_t>(t)];
        for (const std::int32_t person : {trio.father, trio.mother, trio.child}) {
            const Genotype g = writtenGenotype(table, outcome, trios, t, l, person);
            ++outcome.genotypesWritten;
            if (g.missing()) {
                ++outcome.missingWritten;
                continue;
            }
            numbers[static_cast<std::size_t>(g.first - 1)] = 1;
            numbers[static_cast<std::size_t>(g.second - 1)] = 1;
        }
    }
    std::int32_t next = 0;
    for (std::int32_t& number : numbers) number = number != 0 ? ++next : 0;
    return numbers;
}

}  // namespace

bool RuleOutcome::writtenMissing(std::int32_t trio, std::int32_t locus) const {
    if (!blanksMendelianErrors) return false;
    const auto at = std::lower_bound(problems.begin(), problems.end(), std::pair{trio, locus},
                                     [](const TrioProblem& p, std::pair<std::int32_t, std::int32_t> key) {
                                         return std::pair{p.trio, p.locus} < key;
                                     });
    return at != problems.end() && at->trio == trio && at->locus == locus && at->problem == Problem::mendelianError;
}

RuleOutcome applyRule(const GenotypeTable& table, const std::vector<Trio>& trios, const RuleOptions& options,
                      std::span<const Sex> childSexOnX) {
    RuleOutcome outcome;
    outcome.blanksMendelianErrors = options.rule == DropRule::genotype;
    outcome.trioDropped.resize(trios.size());
    outcome.locusDropped.resize(table.loci.size());
    const std::vector<std::int32_t> members = trioMembers(trios);
    std::vector<bool> sparse(table.loci.size());
    for (std::size_t l = 0; l < table.loci.size(); ++l) {
        outcome.missingShare.push_back(missingShare(table, l, members));
        sparse[l] = options.maxMissing && outcome.missingShare.back() > *options.maxMissing;
        if (sparse[l]) outcome.sparseLoci.push_back(static_cast<std::int32_t>(l));
    }
    const bool onX = !childSexOnX.empty();
    for (std::size_t t = 0; t < trios.size(); ++t) {
        if (onX && childSexOnX[t] == Sex::unknown) {
            outcome.trioDropped[t] = Problem::unknownSex;
            continue;
        }
        for (std::size_t l = 0; l < table.loci.size(); ++l) {
            if (sparse[l]) continue;
            const std::optional<Problem> problem = findProblem(table, l, trios[t], onX ? childSexOnX[t] : Sex::unknown);
            if (!problem) continue;
            outcome.problems.push_back({static_cast<std::int32_t>(t), static_cast<std::int32_t>(l), *problem});
            if (options.rule == DropRule::trios) noteReason(outcome.trioDropped[t], *problem);
            if (options.rule == DropRule::markers) noteReason(outcome.locusDropped[l], *problem);
        }
    }
    for (std::size_t t = 0; t < trios.size(); ++t) {
        if (!outcome.trioDropped[t]) outcome.keptTrios.push_back(static_cast<std::int32_t>(t));
    }
    for (std::size_t l = 0; l < table.loci.size(); ++l) {
        if (sparse[l] || outcome.locusDropped[l]) continue;
        const auto locus = static_cast<std::int32_t>(l);
        const std::int64_t written = outcome.genotypesWritten, missing = outcome.missingWritten;
        std::vector<std::int32_t> numbers = numberCarriedAlleles(table, trios, outcome, locus);
        const auto carried = std::count_if(numbers.begin(), numbers.end(), [](std::int32_t n) { return n != 0; });
        if (carried == 0 && !outcome.keptTrios.empty()) {
            // No kept trio has a genotype here: nothing to analyse.
            outcome.locusDropped[l] = Problem::missingData;
            outcome.genotypesWritten = written;
            outcome.missingWritten = missing;
            continue;
        }
        outcome.keptLoci.push_back(locus);
        outcome.alleleNumbers.push_back(std::move(numbers));
        if (carried == 1) outcome.monomorphicLoci.push_back(locus);
    }
    if (outcome.blanksMendelianErrors) {
        for (const TrioProblem& problem : outcome.problems) {
            const auto l = static_cast<std::size_t>(problem.locus);
            if (problem.problem == Problem::mendelianError && !outcome.locusDropped[l]) ++outcome.mendelianWritten;
        }
    }
    return outcome;
}

std::vector<MaleCall> blankHeterozygousMales(GenotypeTable& table, const std::vector<Trio>& trios,
                                             const std::vector<bool>& males) {
    std::vector<std::int32_t> people;
    for (const Trio& trio : trios) {
        for (const std::int32_t person : {trio.father, trio.child}) {
            if (males[static_cast<std::size_t>(person)]) people.push_back(person);
        }
    }
    std::sort(people.begin(), people.end());
    people.erase(std::unique(people.begin(), people.end()), people.end());
    std::vector<MaleCall> calls;
    for (const std::int32_t person : people) {
        for (std::size_t l = 0; l < table.loci.size(); ++l) {
            const Genotype g = table.at(l, person);
            if (g.missing() || g.first == g.second) continue;
            calls.push_back({person, static_cast<std::int32_t>(l), g});
            table.setMissing(l, person);
        }
    }
    return calls;
}

std::vector<Sex> childSexes(const std::vector<Person>& people, const std::vector<Trio>& trios,
                            const std::vector<bool>& males) {
    std::vector<Sex> sexes;
    for (const Trio& trio : trios) {
        const auto child = static_cast<std::size_t>(trio.child);
        sexes.push_back(males[child] ? Sex::male : people[child].sex == Sex::female ? Sex::female : Sex::unknown);
    }
    return sexes;
}

}  // namespace triotdt::import
