#include "input/child_sexes.h"

#include <unistd.h>

#include "io/file_names.h"
#include "io/file_text.h"
#include "io/run_error.h"

namespace triotdt::input {
namespace {

using haplotype::ChildSex;

constexpr std::string_view header = "family\tchild_sex";

ChildSex parseRow(std::string_view line, std::size_t expectedFamily, const std::string& where) {
    const auto fail = [&](const std::string& problem) { throw io::InputRefused(where + ": " + problem + "\n"); };
    const std::vector<std::string_view> fields = io::splitFields(line, '\t');
    if (fields.size() != 2) {
        fail(std::to_string(fields.size()) + " tab-separated fields; a row has two: family, child_sex");
    }
    if (fields[0] != std::to_string(expectedFamily)) {
        fail("family '" + std::string(fields[0]) + "' should be " + std::to_string(expectedFamily) +
             " (one row per family of " + io::inputFileName + ", in order)");
    }
    if (fields[1] == "son") return ChildSex::son;
    if (fields[1] == "daughter") return ChildSex::daughter;
    fail("the child's sex is '" + std::string(fields[1]) + "'; write son or daughter");
    return ChildSex::son;
}

}  // namespace

std::string formatChildSexes(std::span<const ChildSex> sexes) {
    std::string text(header);
    text += '\n';
    for (std::size_t f = 0; f < sexes.size(); ++f) {
        text += std::to_string(f + 1) + (sexes[f] == ChildSex::son ? "\tson\n" : "\tdaughter\n");
    }
    return text;
}

std::vector<ChildSex> parseChildSexes(std::string_view text, const std::string& fileName) {
    std::vector<ChildSex> sexes;
    io::forEachTableRow(text, fileName, header, [&sexes](std::string_view line, const std::string& where) {
        sexes.push_back(parseRow(line, sexes.size() + 1, where));
    });
    return sexes;
}

void readChildSexesBesideInput(haplotype::FamilyData& data) {
    if (::access(io::sexFileName, F_OK) != 0) return;
    std::vector<ChildSex> sexes = parseChildSexes(io::readFileText(io::sexFileName), io::sexFileName);
    const auto families = static_cast<std::size_t>(std::max(data.familyCount, 0));
    if (sexes.size() != families) {
        throw io::InputRefused(std::string(io::sexFileName) + " gives the sex of " + std::to_string(sexes.size()) +
                               " children, but " + io::inputFileName + " has " + std::to_string(families) +
                               " families; it needs one row per family, in order\n");
    }
    data.inheritance = haplotype::Inheritance::xLinked;
    data.childSex = std::move(sexes);
}

}  // namespace triotdt::input
