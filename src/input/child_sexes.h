#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "haplotype/family_data.h"

namespace triotdt::input {

// tdtsex.tsv, which makes a run folder one of chromosome X: beside
// tdtinput.dat, it gives the sex of each family's child, which X needs (a
// father passes his X to daughters only) and tdtinput.dat cannot hold. A
// header row, then one row per family in input order, tab-separated:
//
//   family	child_sex
//   1	son
//   2	daughter
//
// Families are numbered 1, 2, ... as in tdtinput.dat; LF or CR LF line ends.
// The import writes it for the chrX/ folder; written by hand, it turns any
// input into an X input.

std::string formatChildSexes(std::span<const haplotype::ChildSex> sexes);

// Throws io::InputRefused naming `fileName` and the line for a wrong header,
// a row without two fields, a family out of turn or a sex other than son
// and daughter.
std::vector<haplotype::ChildSex> parseChildSexes(std::string_view text, const std::string& fileName);

// When tdtsex.tsv lies in the working folder, `data` (read from tdtinput.dat)
// becomes X-linked with its children's sexes. Throws io::InputRefused when
// the file is malformed or does not give one row per family; io::RunError
// when it cannot be read.
void readChildSexesBesideInput(haplotype::FamilyData& data);

}  // namespace triotdt::input
