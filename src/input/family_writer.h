#pragma once

#include <string>

#include "haplotype/family_data.h"
#include "input/family_input.h"

namespace triotdt::input {

// tdtinput.dat as readFamilyData reads it back, written piece by piece so
// that a large input is never held whole, nor as text: the family,
// replicate and locus counts on lines of their own, the allele counts on one
// line, then each family's father, mother and child records, one line each,
// numbers separated by one space.

// The head: the counts and allele counts of `head` (its tables are not read).
void appendFamilyHead(std::string& text, const haplotype::FamilyData& head);

// The next family's three records, 2 × lociCount allele numbers each.
void appendTrio(std::string& text, const TrioRecords& trio);

}  // namespace triotdt::input
