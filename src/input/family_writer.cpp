#include "input/family_writer.h"

#include <charconv>
#include <span>

namespace triotdt::input {
namespace {

void appendNumber(std::string& text, std::int64_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    text.append(digits, end);
}

void appendLine(std::string& text, std::span<const std::int32_t> numbers) {
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i != 0) text += ' ';
        appendNumber(text, numbers[i]);
    }
    text += '\n';
}

}  // namespace

void appendFamilyHead(std::string& text, const haplotype::FamilyData& head) {
    for (const std::int32_t count : {head.familyCount, head.replicateCount, head.lociCount}) {
        appendNumber(text, count);
        text += '\n';
    }
    appendLine(text, head.alleleCount);
}

void appendTrio(std::string& text, const TrioRecords& trio) {
    for (const std::vector<std::int32_t>* record : {&trio.father, &trio.mother, &trio.child}) appendLine(text, *record);
}

}  // namespace triotdt::input
