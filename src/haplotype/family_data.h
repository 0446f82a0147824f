#pragma once

#include <cstdint>
#include <vector>

#include "haplotype/allele_table.h"

namespace triotdt::haplotype {

enum class Person { father, mother, child };

// How the loci of a run pass from parents to children: from both parents,
// or on chromosome X (outside its pseudo-autosomal parts), where a father
// passes his one X whole to his daughters and none to his sons, so that only
// mothers' transmissions say anything about association.
enum class Inheritance : std::uint8_t { autosomal, xLinked };

// The sex of a family's child, which on X says whether the father gave an allele.
enum class ChildSex : std::uint8_t { son, daughter };

// The trios as read from the input, never changed afterwards. Each person's
// table holds, family after family, 2 × lociCount allele numbers: columns
// 2l and 2l + 1 (0-based) are the genotype at locus l, in input order, in
// one or two bytes an allele (AlleleTable).
// Allele 0 marks a missing genotype: a genotype with either allele 0 is missing.
struct FamilyData {
    std::int32_t familyCount = 0;
    std::int32_t replicateCount = 0;
    std::int32_t lociCount = 0;
    std::vector<std::int32_t> alleleCount;  // per locus, 1..alleleCount(l) are its alleles
    AlleleTable fatherAlleles;
    AlleleTable motherAlleles;
    AlleleTable childAlleles;
    Inheritance inheritance = Inheritance::autosomal;
    std::vector<ChildSex> childSex;  // per family on X; empty on an autosome

    const AlleleTable& allelesOf(Person person) const {
        return person == Person::father ? fatherAlleles : person == Person::mother ? motherAlleles : childAlleles;
    }
    // Allele `which` (0 or 1) of `person` in family f (0-based) at locus l (0-based).
    std::int32_t allele(Person person, std::int32_t f, std::int32_t l, int which) const {
        return allelesOf(person)[column(f, l, which)];
    }
    // The same allele as the input gave it, also a value no locus can have.
    std::int32_t alleleAsRead(Person person, std::int32_t f, std::int32_t l, int which) const {
        return allelesOf(person).asRead(column(f, l, which));
    }

    bool genotyped(Person person, std::int32_t f, std::int32_t l) const {
        return allele(person, f, l, 0) != 0 && allele(person, f, l, 1) != 0;
    }
    // Father, mother and child all have a genotype at locus l.
    bool trioGenotyped(std::int32_t f, std::int32_t l) const {
        return genotyped(Person::father, f, l) && genotyped(Person::mother, f, l) && genotyped(Person::child, f, l);
    }

private:
    std::size_t column(std::int32_t f, std::int32_t l, int which) const {
        return static_cast<std::size_t>(f) * 2 * static_cast<std::size_t>(lociCount) + 2 * static_cast<std::size_t>(l) +
               static_cast<std::size_t>(which);
    }
};

}  // namespace triotdt::haplotype
