#include "input/family_input.h"

#include <algorithm>

#include "haplotype/phasing.h"

namespace triotdt::input {

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
std::string alleleProblem(const FamilyData& data, std::int32_t f, Person person, std::int32_t l) {
    const std::int32_t a = data.allele(person, f, l, 0);
    const std::int32_t b = data.allele(person, f, l, 1);
    const std::int32_t count = data.alleleCount[static_cast<std::size_t>(l)];
    const auto bad = [count](std::int32_t allele) { return allele != 0 && (allele < 1 || allele > count); };
    if (!bad(a) && !bad(b)) return {};
    return "family " + std::to_string(f + 1) + ", " + personName(person) + ", locus " + std::to_string(l + 1) +
           ": genotype " + genotypeText(a, b) + ": allele " + std::to_string(bad(a) ? a : b) + " is outside 1.." +
           std::to_string(count) + ", the alleles of locus " + std::to_string(l + 1);
}

}  // namespace

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

FamilyData readFamilyData(io::TextReader& reader) {
    FamilyData data = readFamilyHead(reader);
    // Without loci there is nothing to analyse and the records are not read;
    // without families there are no records.
    if (data.lociCount <= 0 || data.familyCount <= 0) return data;

    const std::int64_t columns = 2 * std::int64_t{data.lociCount};
    const auto describeAllele = [](std::int64_t i) {
        return "locus " + std::to_string(i / 2 + 1) + (i % 2 == 0 ? ", first allele" : ", second allele");
    };
    for (std::int32_t f = 0; f < data.familyCount; ++f) {
        const std::string family = "family " + std::to_string(f + 1);
        reader.readIntegers(columns, family + ", father's record", data.fatherAlleles, describeAllele);
        reader.readIntegers(columns, family + ", mother's record", data.motherAlleles, describeAllele);
        reader.readIntegers(columns, family + ", child's record", data.childAlleles, describeAllele);
    }
    return data;
}

std::string formatFamilyData(const FamilyData& data) {
    std::string text = std::to_string(data.familyCount) + "\n" + std::to_string(data.replicateCount) + "\n" +
                       std::to_string(data.lociCount) + "\n";
    const std::size_t columns = 2 * static_cast<std::size_t>(std::max(data.lociCount, 0));
    const std::size_t families = static_cast<std::size_t>(std::max(data.familyCount, 0));
    // Reserved whole: a large input is written without growing the text.
    text.reserve(text.size() + 2 * columns * (1 + 3 * families) + 64);
    const auto appendLine = [&text](const std::int32_t* first, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (i != 0) text += ' ';
            text += std::to_string(first[i]);
        }
        text += '\n';
    };
    appendLine(data.alleleCount.data(), data.alleleCount.size());
    for (std::size_t f = 0; f < families; ++f) {
        for (const Person person : {Person::father, Person::mother, Person::child}) {
            appendLine(data.allelesOf(person).data() + f * columns, columns);
        }
    }
    return text;
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

InputProblems findUnusableInput(const FamilyData& data) {
    InputProblems problems;
    if (data.familyCount < 0) {
        problems.add("the family count is " + std::to_string(data.familyCount) + "; it must be 0 or more");
    }
    if (data.replicateCount < 1) {
        problems.add("the replicate count is " + std::to_string(data.replicateCount) + "; it must be 1 or more");
    }
    bool countsUsable = true;
    for (std::size_t l = 0; l < data.alleleCount.size(); ++l) {
        if (data.alleleCount[l] >= 1) continue;
        countsUsable = false;
        problems.add("locus " + std::to_string(l + 1) + ": the allele count is " + std::to_string(data.alleleCount[l]) +
                     "; it must be 1 or more");
    }
    if (!countsUsable || data.lociCount <= 0 || data.familyCount <= 0) return problems;

    for (std::int32_t f = 0; f < data.familyCount; ++f) {
        for (std::int32_t l = 0; l < data.lociCount; ++l) {
            bool allelesUsable = true;
            for (const Person person : {Person::father, Person::mother, Person::child}) {
                std::string problem = alleleProblem(data, f, person, l);
                if (problem.empty()) continue;
                allelesUsable = false;
                problems.add(std::move(problem));
            }
            if (!allelesUsable || !data.trioGenotyped(f, l)) continue;
            const std::int32_t f1 = data.allele(Person::father, f, l, 0), f2 = data.allele(Person::father, f, l, 1);
            const std::int32_t m1 = data.allele(Person::mother, f, l, 0), m2 = data.allele(Person::mother, f, l, 1);
            const std::int32_t c1 = data.allele(Person::child, f, l, 0), c2 = data.allele(Person::child, f, l, 1);
            if (haplotype::phaseLocus(f1, f2, m1, m2, c1, c2)) continue;
            problems.mendelian = true;
            problems.add("family " + std::to_string(f + 1) + ", child, locus " + std::to_string(l + 1) + ": genotype " +
                         genotypeText(c1, c2) + " cannot have one allele from the father (" + genotypeText(f1, f2) +
                         ") and the other from the mother (" + genotypeText(m1, m2) + ")");
        }
    }
    return problems;
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
