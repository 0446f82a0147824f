#include "input/family_input.h"

#include <algorithm>
#include <utility>

#include "haplotype/phasing.h"
#include "input/child_sexes.h"
#include "io/file_names.h"
#include "io/output_unit.h"
#include "io/run_error.h"

namespace triotdt::input {

using haplotype::ChildSex;
using haplotype::FamilyData;
using haplotype::Person;

namespace {

constexpr std::size_t problemsShown = 20;
constexpr const char* mendelianRemedy =
    "To keep such a family, write the child's genotype at that locus as 0 0 (missing): the family then leaves "
    "only the windows that hold that locus.\n";

const char* personName(Person person) {
    return person == Person::father ? "father" : person == Person::mother ? "mother" : "child";
}

std::string genotypeText(std::int32_t a, std::int32_t b) { return std::to_string(a) + "/" + std::to_string(b); }

// Allele 0 marks a missing genotype; any other allele must lie in its locus's range.
bool outsideRange(std::int32_t allele, std::int32_t count) { return allele != 0 && (allele < 1 || allele > count); }

std::string alleleProblem(std::int32_t a, std::int32_t b, std::int32_t count, std::int32_t f, Person person,
                          std::int32_t l) {
    return "family " + std::to_string(f + 1) + ", " + personName(person) + ", locus " + std::to_string(l + 1) +
           ": genotype " + genotypeText(a, b) + ": allele " + std::to_string(outsideRange(a, count) ? a : b) +
           " is outside 1.." + std::to_string(count) + ", the alleles of locus " + std::to_string(l + 1);
}

// Records follow the head only when there are loci and families, and when
// the tables can hold every locus's alleles (otherwise the input is refused
// on its counts before the records).
bool recordsFollow(const FamilyData& head) {
    return head.lociCount > 0 && head.familyCount > 0 && countsFitTables(head);
}

// The records are checked only when every allele count is usable.
bool recordsChecked(const FamilyData& head) {
    const bool countsUsable = std::all_of(head.alleleCount.begin(), head.alleleCount.end(), [](std::int32_t count) {
        return count >= 1 && count <= haplotype::AlleleTable::maxAlleles;
    });
    return countsUsable && head.lociCount > 0 && head.familyCount > 0;
}

// A child's genotype that cannot come from the parents on an autosome.
template <typename AlleleAt>
void addMendelianProblem(InputProblems& problems, std::int32_t f, std::int32_t l, const AlleleAt& alleleAt) {
    const std::int32_t f1 = alleleAt(Person::father, l, 0), f2 = alleleAt(Person::father, l, 1);
    const std::int32_t m1 = alleleAt(Person::mother, l, 0), m2 = alleleAt(Person::mother, l, 1);
    const std::int32_t c1 = alleleAt(Person::child, l, 0), c2 = alleleAt(Person::child, l, 1);
    if (haplotype::phaseLocus(f1, f2, m1, m2, c1, c2)) return;
    problems.mendelian = true;
    problems.add("family " + std::to_string(f + 1) + ", child, locus " + std::to_string(l + 1) + ": genotype " +
                 genotypeText(c1, c2) + " cannot have one allele from the father (" + genotypeText(f1, f2) +
                 ") and the other from the mother (" + genotypeText(m1, m2) + ")");
}

// On X: a male (the father, a son) with two different alleles, and a child
// whose genotype cannot come from the mother, and from the father for a
// daughter whose father is genotyped. Mother and child must be genotyped.
template <typename AlleleAt>
void addXLinkedProblems(InputProblems& problems, std::int32_t f, std::int32_t l, ChildSex sex,
                        const AlleleAt& alleleAt) {
    const std::int32_t f1 = alleleAt(Person::father, l, 0), f2 = alleleAt(Person::father, l, 1);
    const std::int32_t m1 = alleleAt(Person::mother, l, 0), m2 = alleleAt(Person::mother, l, 1);
    const std::int32_t c1 = alleleAt(Person::child, l, 0), c2 = alleleAt(Person::child, l, 1);
    const std::string child = sex == ChildSex::son ? "child (son)" : "child (daughter)";
    const std::string place = ", locus " + std::to_string(l + 1) + ": genotype ";
    const auto heterozygousMale = [&](const std::string& name, std::int32_t a, std::int32_t b) {
        if (a == b || a == 0 || b == 0) return false;
        problems.add("family " + std::to_string(f + 1) + ", " + name + place + genotypeText(a, b) +
                     " is heterozygous, but a male has one X (write it as two equal alleles, or 0 0)");
        return true;
    };
    const bool fatherUnusable = heterozygousMale("father", f1, f2);
    const bool sonUnusable = sex == ChildSex::son && heterozygousMale(child, c1, c2);
    if (fatherUnusable || sonUnusable || m1 == 0 || m2 == 0 || c1 == 0 || c2 == 0) return;
    const bool fatherKnown = f1 != 0 && f2 != 0;
    if (haplotype::phaseMaternalLocus(sex, fatherKnown ? f1 : 0, fatherKnown ? f2 : 0, m1, m2, c1, c2)) return;
    problems.mendelian = true;
    const std::string from = sex == ChildSex::son ? "cannot have his one allele from the mother ("
                             : fatherKnown        ? "cannot have one allele from the father (" + genotypeText(f1, f2) +
                                                 ") and the other from the mother ("
                                           : "cannot have an allele from the mother (";
    problems.add("family " + std::to_string(f + 1) + ", " + child + place + genotypeText(c1, c2) + " " + from +
                 genotypeText(m1, m2) + ")");
}

// The problems of family f, locus by locus, whose alleles as read
// `alleleAt(person, l, which)` gives: alleles out of range, then a child's
// genotype that cannot come from its genotyped parents (on X, the checks of
// addXLinkedProblems).
template <typename AlleleAt>
void addFamilyProblems(InputProblems& problems, const FamilyData& head, std::int32_t f, const AlleleAt& alleleAt) {
    for (std::int32_t l = 0; l < head.lociCount; ++l) {
        bool allelesUsable = true;
        bool genotyped = true;
        const std::int32_t count = head.alleleCount[static_cast<std::size_t>(l)];
        for (const Person person : {Person::father, Person::mother, Person::child}) {
            const std::int32_t a = alleleAt(person, l, 0), b = alleleAt(person, l, 1);
            genotyped = genotyped && a != 0 && b != 0;
            if (!outsideRange(a, count) && !outsideRange(b, count)) continue;
            allelesUsable = false;
            problems.add(alleleProblem(a, b, count, f, person, l));
        }
        if (!allelesUsable) continue;
        if (head.inheritance == haplotype::Inheritance::xLinked) {
            addXLinkedProblems(problems, f, l, head.childSex[static_cast<std::size_t>(f)], alleleAt);
        } else if (genotyped) {
            addMendelianProblem(problems, f, l, alleleAt);
        }
    }
}

// Room for all records at once when the file is large enough to hold them
// (two bytes a value at least), so that the tables are not copied as they
// grow; a file too short for its counts fails at its end instead.
void reserveTables(FamilyData& data, std::int64_t columns, std::int64_t fileSize) {
    const std::int64_t perTable = std::int64_t{data.familyCount} * columns;
    if (perTable > (fileSize + 1) / 2 / 3) return;
    for (haplotype::AlleleTable* table : {&data.fatherAlleles, &data.motherAlleles, &data.childAlleles}) {
        table->reserve(static_cast<std::size_t>(perTable));
    }
}

}  // namespace

bool countsFitTables(const FamilyData& data) {
    return std::all_of(data.alleleCount.begin(), data.alleleCount.end(),
                       [](std::int32_t count) { return count <= haplotype::AlleleTable::maxAlleles; });
}

FamilyData readFamilyHead(io::TextReader& reader) {
    FamilyData data;
    data.familyCount = reader.readInteger("the family count");
    data.replicateCount = reader.readInteger("the replicate count");
    data.lociCount = reader.readInteger("the locus count");
    if (data.lociCount > 0) {
        reader.readIntegers(data.lociCount, "the allele counts of the loci", data.alleleCount,
                            [](std::int64_t i) { return "locus " + std::to_string(i + 1); });
    }
    return data;
}

void readEachTrio(io::TextReader& reader, const FamilyData& head,
                  const std::function<void(std::int32_t family, const TrioRecords& trio)>& use) {
    if (!recordsFollow(head)) return;
    const std::int64_t columns = 2 * std::int64_t{head.lociCount};
    const auto describeAllele = [](std::int64_t i) {
        return "locus " + std::to_string(i / 2 + 1) + (i % 2 == 0 ? ", first allele" : ", second allele");
    };
    TrioRecords trio;
    for (std::int32_t f = 0; f < head.familyCount; ++f) {
        const std::string family = "family " + std::to_string(f + 1);
        for (const auto& [name, record] :
             {std::pair{", father's record", &trio.father}, std::pair{", mother's record", &trio.mother},
              std::pair{", child's record", &trio.child}}) {
            record->clear();
            reader.readIntegers(columns, family + name, *record, describeAllele);
        }
        use(f, trio);
    }
}

std::int32_t largestAlleleCount(const FamilyData& data) {
    const auto largest = std::max_element(data.alleleCount.begin(), data.alleleCount.end());
    return largest == data.alleleCount.end() ? 1 : *largest;
}

FamilyData readFamilyLoci(io::TextReader& reader, const FamilyData& head, std::int32_t first, std::int32_t last) {
    FamilyData data = head;
    data.lociCount = first > last ? 0 : last - first + 1;
    data.alleleCount.assign(head.alleleCount.begin() + (first - 1),
                            head.alleleCount.begin() + (first - 1 + data.lociCount));
    if (data.lociCount == 0 || !recordsFollow(head)) return data;
    for (haplotype::AlleleTable* table : {&data.fatherAlleles, &data.motherAlleles, &data.childAlleles}) {
        *table = haplotype::AlleleTable(largestAlleleCount(data));
    }
    const std::int64_t columns = 2 * std::int64_t{data.lociCount};
    reserveTables(data, columns, reader.knownSize());
    // One family at a time in full width, then the loci kept into the compact tables.
    const std::size_t skipped = 2 * static_cast<std::size_t>(first - 1);
    readEachTrio(reader, head, [&](std::int32_t, const TrioRecords& trio) {
        data.fatherAlleles.append(std::span(trio.father).subspan(skipped, static_cast<std::size_t>(columns)));
        data.motherAlleles.append(std::span(trio.mother).subspan(skipped, static_cast<std::size_t>(columns)));
        data.childAlleles.append(std::span(trio.child).subspan(skipped, static_cast<std::size_t>(columns)));
    });
    return data;
}

FamilyData readFamilyData(io::TextReader& reader) {
    const FamilyData head = readFamilyHead(reader);
    if (!recordsFollow(head)) return head;
    return readFamilyLoci(reader, head, 1, head.lociCount);
}

InputRead readInput() {
    InputRead input;
    std::optional<io::TextReader> reader;
    try {
        reader.emplace(io::openExisting(io::inputFileName), io::inputFileName);
    } catch (...) {
        input.openFailure = std::current_exception();
        return input;
    }
    try {
        input.data = readFamilyData(*reader);
        readChildSexesBesideInput(*input.data);
    } catch (...) {
        input.readFailure = std::current_exception();
    }
    return input;
}

InputSurvey surveyRecords(io::TextReader& reader, const FamilyData& head,
                          const std::function<void(std::span<const std::uint8_t>)>& trioGenotyped) {
    InputSurvey survey{findUnusableCounts(head), 0};
    std::vector<std::uint8_t> genotyped(static_cast<std::size_t>(std::max(head.lociCount, 0)));
    readEachTrio(reader, head, [&](std::int32_t family, const TrioRecords& trio) {
        addUnusableGenotypes(survey.problems, head, family, trio);
        survey.missingGenotypes += countMissingGenotypes(trio);
        if (!trioGenotyped) return;
        // On X the father need not be genotyped.
        const std::vector<std::int32_t>& father =
            head.inheritance == haplotype::Inheritance::xLinked ? trio.mother : trio.father;
        for (std::size_t l = 0; l < genotyped.size(); ++l) {
            const std::size_t a = 2 * l, b = a + 1;
            genotyped[l] = father[a] != 0 && father[b] != 0 && trio.mother[a] != 0 && trio.mother[b] != 0 &&
                           trio.child[a] != 0 && trio.child[b] != 0;
        }
        trioGenotyped(genotyped);
    });
    refuseUnusableInput(survey.problems);
    return survey;
}

void InputProblems::add(std::string problem) {
    if (shown.size() < problemsShown) shown.push_back(std::move(problem));
    ++total;
}

std::int64_t countMissingGenotypes(const FamilyData& data) {
    std::int64_t missing = 0;
    for (std::int32_t f = 0; f < data.familyCount; ++f) {
        for (std::int32_t l = 0; l < data.lociCount; ++l) {
            for (const Person person : {Person::father, Person::mother, Person::child}) {
                missing += data.genotyped(person, f, l) ? 0 : 1;
            }
        }
    }
    return missing;
}

std::int64_t countMissingGenotypes(const TrioRecords& trio) {
    std::int64_t missing = 0;
    for (const std::vector<std::int32_t>* record : {&trio.father, &trio.mother, &trio.child}) {
        for (std::size_t i = 0; i + 1 < record->size(); i += 2) missing += (*record)[i] == 0 || (*record)[i + 1] == 0;
    }
    return missing;
}

InputProblems findUnusableCounts(const FamilyData& head) {
    InputProblems problems;
    if (head.familyCount < 0) {
        problems.add("the family count is " + std::to_string(head.familyCount) + "; it must be 0 or more");
    }
    if (head.replicateCount < 1) {
        problems.add("the replicate count is " + std::to_string(head.replicateCount) + "; it must be 1 or more");
    }
    for (std::size_t l = 0; l < head.alleleCount.size(); ++l) {
        const std::int32_t count = head.alleleCount[l];
        if (count >= 1 && count <= haplotype::AlleleTable::maxAlleles) continue;
        problems.add("locus " + std::to_string(l + 1) + ": the allele count is " + std::to_string(count) +
                     (count < 1 ? "; it must be 1 or more"
                                : "; at most " + std::to_string(haplotype::AlleleTable::maxAlleles) +
                                      " alleles per locus are supported"));
    }
    return problems;
}

void addUnusableGenotypes(InputProblems& problems, const FamilyData& head, std::int32_t family,
                          const TrioRecords& trio) {
    if (!recordsChecked(head)) return;
    addFamilyProblems(problems, head, family, [&trio](Person person, std::int32_t l, int which) {
        const std::vector<std::int32_t>& record = person == Person::father   ? trio.father
                                                  : person == Person::mother ? trio.mother
                                                                             : trio.child;
        return record[2 * static_cast<std::size_t>(l) + static_cast<std::size_t>(which)];
    });
}

InputProblems findUnusableInput(const FamilyData& data) {
    InputProblems problems = findUnusableCounts(data);
    if (!recordsChecked(data)) return problems;
    for (std::int32_t f = 0; f < data.familyCount; ++f) {
        addFamilyProblems(problems, data, f, [&data, f](Person person, std::int32_t l, int which) {
            return data.alleleAsRead(person, f, l, which);
        });
    }
    return problems;
}

void refuseUnusableInput(const InputProblems& problems) {
    if (!problems.empty()) throw io::InputRefused(describeUnusableInput(io::inputFileName, problems));
}

std::string describeUnusableInput(const std::string& fileName, const InputProblems& problems) {
    std::string message = fileName + ": the input cannot be analysed (" + std::to_string(problems.total) +
                          (problems.total == 1 ? " problem" : " problems") + "):\n";
    for (const std::string& problem : problems.shown) message += "  " + problem + "\n";
    if (problems.total > problems.shown.size()) {
        message += "  ... and " + std::to_string(problems.total - problems.shown.size()) + " more\n";
    }
    if (problems.mendelian) message += mendelianRemedy;
    return message;
}

}  // namespace triotdt::input
