#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "import/line_reader.h"

namespace triotdt::import {

// A person's sex as the pedigree's fifth column gives it: 1 male, 2 female,
// anything else not known. Only chromosome X needs it.
enum class Sex : std::uint8_t { unknown, male, female };

// One person of a pedigree (.fam, .ped or the pedigree file given with a VCF).
struct Person {
    std::string family;
    std::string id;
    std::string father;     // "0": not known
    std::string mother;     // "0": not known
    std::int64_t line = 0;  // line of the pedigree file, for messages
    // Where the person's genotypes are in the genotype file (the VCF sample
    // or the .ped/.fam row), or -1 when the person is not genotyped.
    std::int32_t column = -1;
    std::string phenotype;  // "2" affected, "1" unaffected; anything else: not known
    Sex sex = Sex::unknown;
};

// The first six fields of the current line (family, person, father, mother,
// sex, phenotype). Throws ImportError for a
// line with fewer than six fields, a person named "0", or a person who is
// his or her own parent.
Person readPersonFields(const LineReader& reader);

// Every person of a six-column pedigree file, in file order; the column is
// left at -1. Throws ImportError for a malformed line or a person listed twice
// in one family.
std::vector<Person> readPedigreeFile(const std::string& path);

// Throws ImportError when a family lists the same person twice.
void checkUniquePeople(const std::vector<Person>& people, const std::string& path);

// Throws ImportError, naming the people, when someone is his or her own
// ancestor through the parents named within the family.
void checkNoAncestryLoop(const std::vector<Person>& people, const std::string& path);

// A trio: indices into the people.
struct Trio {
    std::int32_t father = 0;
    std::int32_t mother = 0;
    std::int32_t child = 0;
};

// A genotyped child who does not form a trio, and why.
struct UnmatchedChild {
    std::int32_t child = 0;
    std::string reason;  // "father D1 is not in the pedigree", "no mother is named"
};

// Which children form trios: by default the affected ones only, as a
// transmission test of a disease wants; all of them on request.
enum class ChildChoice { affected, all };

struct TrioSearch {
    std::vector<Trio> trios;  // in the order of the children in the pedigree
    std::vector<UnmatchedChild> unmatched;
    std::int32_t children = 0;              // genotyped people with a parent named
    std::vector<std::int32_t> notAffected;  // genotyped children left out as not affected
    // No child of the pedigree has an affection status, so every child is used.
    bool noAffectionStatus = false;
};

// Who has one X: the people whose pedigree sex is male, and every father
// named within his family, whatever his sex column says.
std::vector<bool> findMales(const std::vector<Person>& people);

// Every chosen genotyped child whose father and mother are both genotyped
// members of the same family forms one trio; siblings form trios of their own
// with the same parents. When no child has an affection status ("1" or "2"),
// every child is chosen.
TrioSearch findTrios(const std::vector<Person>& people, ChildChoice choice = ChildChoice::affected);

}  // namespace triotdt::import
