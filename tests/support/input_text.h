#pragma once

// The text of tdtinput.dat for family data, as the import writes it: through
// the input's own writer, family by family.

#include <string>

#include "haplotype/family_data.h"
#include "input/family_writer.h"

namespace triotdt::test {

inline std::string inputText(const haplotype::FamilyData& data) {
    std::string text;
    input::appendFamilyHead(text, data);
    const auto columns = 2 * static_cast<std::size_t>(data.lociCount > 0 ? data.lociCount : 0);
    input::TrioRecords trio;
    for (std::size_t f = 0; f < static_cast<std::size_t>(data.familyCount > 0 ? data.familyCount : 0); ++f) {
        for (const auto& [table, record] :
             {std::pair{&data.fatherAlleles, &trio.father}, std::pair{&data.motherAlleles, &trio.mother},
              std::pair{&data.childAlleles, &trio.child}}) {
            record->clear();
            for (std::size_t i = 0; i < columns; ++i) record->push_back(table->asRead(f * columns + i));
        }
        input::appendTrio(text, trio);
    }
    return text;
}

}  // namespace triotdt::test
