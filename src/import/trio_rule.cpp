#include "import/trio_rule.h"

#include "haplotype/phasing.h"

namespace triotdt::import {
namespace {

std::optional<Problem> findProblem(const GenotypeTable& table, std::size_t locus, const Trio& trio) {
    const Genotype f = table.at(locus, trio.father), m = table.at(locus, trio.mother), c = table.at(locus, trio.child);
    if (f.missing() || m.missing() || c.missing()) return Problem::missingData;
    if (!haplotype::phaseLocus(f.first, f.second, m.first, m.second, c.first, c.second)) return Problem::mendelianError;
    return std::nullopt;
}

// Missing data outweighs a Mendelian error as the reason something is left out.
void noteReason(std::optional<Problem>& reason, Problem problem) {
    if (!reason || problem == Problem::missingData) reason = problem;
}

bool carriesOneAllele(const GenotypeTable& table, std::size_t locus, const std::vector<Trio>& trios,
                      const std::vector<std::int32_t>& keptTrios) {
    std::int32_t seen = 0;
    for (const std::int32_t t : keptTrios) {
        const Trio& trio = trios[static_cast<std::size_t>(t)];
        for (const std::int32_t person : {trio.father, trio.mother, trio.child}) {
            const Genotype g = table.at(locus, person);
            for (const std::int32_t allele : {g.first, g.second}) {
                if (seen == 0) seen = allele;
                if (allele != seen) return false;
            }
        }
    }
    return seen != 0;
}

}  // namespace

RuleOutcome applyRule(const GenotypeTable& table, const std::vector<Trio>& trios, DropRule rule) {
    RuleOutcome outcome;
    outcome.trioDropped.resize(trios.size());
    outcome.locusDropped.resize(table.loci.size());
    for (std::size_t t = 0; t < trios.size(); ++t) {
        for (std::size_t l = 0; l < table.loci.size(); ++l) {
            const std::optional<Problem> problem = findProblem(table, l, trios[t]);
            if (!problem) continue;
            outcome.problems.push_back({static_cast<std::int32_t>(t), static_cast<std::int32_t>(l), *problem});
            noteReason(rule == DropRule::trios ? outcome.trioDropped[t] : outcome.locusDropped[l], *problem);
        }
    }
    for (std::size_t t = 0; t < trios.size(); ++t) {
        if (!outcome.trioDropped[t]) outcome.keptTrios.push_back(static_cast<std::int32_t>(t));
    }
    for (std::size_t l = 0; l < table.loci.size(); ++l) {
        if (outcome.locusDropped[l]) continue;
        outcome.keptLoci.push_back(static_cast<std::int32_t>(l));
        if (carriesOneAllele(table, l, trios, outcome.keptTrios)) outcome.monomorphicLoci.push_back(static_cast<std::int32_t>(l));
    }
    return outcome;
}

haplotype::FamilyData buildFamilyData(const GenotypeTable& table, const std::vector<Trio>& trios,
                                      const RuleOutcome& outcome, std::int32_t replicateCount) {
    haplotype::FamilyData data;
    data.familyCount = static_cast<std::int32_t>(outcome.keptTrios.size());
    data.replicateCount = replicateCount;
    data.lociCount = static_cast<std::int32_t>(outcome.keptLoci.size());
    for (const std::int32_t l : outcome.keptLoci) {
        data.alleleCount.push_back(static_cast<std::int32_t>(table.loci[static_cast<std::size_t>(l)].alleles.size()));
    }
    for (const std::int32_t t : outcome.keptTrios) {
        const Trio& trio = trios[static_cast<std::size_t>(t)];
        for (const auto& [person, alleles] : {std::pair{trio.father, &data.fatherAlleles},
                                              std::pair{trio.mother, &data.motherAlleles},
                                              std::pair{trio.child, &data.childAlleles}}) {
            for (const std::int32_t l : outcome.keptLoci) {
                const Genotype g = table.at(static_cast<std::size_t>(l), person);
                alleles->insert(alleles->end(), {g.first, g.second});
            }
        }
    }
    return data;
}

std::vector<output::LocusRow> buildLociRows(const GenotypeTable& table, const RuleOutcome& outcome) {
    std::vector<output::LocusRow> rows;
    for (const std::int32_t l : outcome.keptLoci) {
        const Locus& locus = table.loci[static_cast<std::size_t>(l)];
        rows.push_back({static_cast<std::int32_t>(rows.size()) + 1, locus.chromosome, locus.position, locus.name,
                        locus.alleles});
    }
    return rows;
}

}  // namespace triotdt::import
