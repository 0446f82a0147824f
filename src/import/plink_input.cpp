#include "import/plink_input.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "driver/interruption.h"
#include "import/import_error.h"
#include "import/line_reader.h"

namespace triotdt::import {
namespace {

constexpr std::string_view missingAllele = "0";

// Chromosome, marker name and position of a .map or .bim line; the position
// is the field `positionField`.
Locus readMarkerFields(const LineReader& reader, std::size_t positionField) {
    const auto& fields = reader.fields();
    Locus locus;
    locus.chromosome = fields[0];
    locus.name = fields[1];
    const std::string_view position = fields[positionField];
    if (!parseWholeNumber(position, locus.position) || locus.position < 0) {
        reader.fail("position '" + std::string(position) + "' of marker " + locus.name +
                    " is not a whole number of 0 or more");
    }
    locus.origin = reader.path() + ", line " + std::to_string(reader.lineNumber());
    return locus;
}

// A .map line has four fields (chromosome, marker, genetic distance,
// position) or three (without the genetic distance).
Locus readMapLine(const LineReader& map) {
    const std::size_t count = map.fields().size();
    if (count != 3 && count != 4) {
        map.fail(std::to_string(count) +
                 " fields; a line of this file has 4 (chromosome, marker, genetic distance, position) or 3 "
                 "(chromosome, marker, position)");
    }
    return readMarkerFields(map, count - 1);
}

Locus readBimLine(const LineReader& bim) {
    if (bim.fields().size() != 6) {
        bim.fail(std::to_string(bim.fields().size()) +
                 " fields; a line of this file has 6: chromosome, marker, genetic distance, position, allele 1, "
                 "allele 2");
    }
    return readMarkerFields(bim, 3);
}

std::int32_t alleleNumber(Locus& locus, std::string_view label, std::string_view missing) {
    if (label == missing) return 0;
    const auto at = std::find(locus.alleles.begin(), locus.alleles.end(), label);
    if (at != locus.alleles.end()) return static_cast<std::int32_t>(at - locus.alleles.begin()) + 1;
    if (locus.alleles.size() == Genotype::maxAllele) {
        throw ImportError(locus.origin + ": marker " + locus.name + " has more than " +
                          std::to_string(Genotype::maxAllele) + " alleles");
    }
    locus.alleles.emplace_back(label);
    return static_cast<std::int32_t>(locus.alleles.size());
}

// The genotypes of a .ped as read, person after person, in one byte an
// allele; the rare genotype with an allele number above 254 is kept aside.
class PersonMajorGenotypes {
public:
    void push_back(Genotype g) {
        if (g.first >= wideMark || g.second >= wideMark) {
            wide_.push_back({bytes_.size() / 2, g});
            g = {wideMark, wideMark};
        }
        bytes_.push_back(static_cast<std::uint8_t>(g.first));
        bytes_.push_back(static_cast<std::uint8_t>(g.second));
    }
    Genotype operator[](std::size_t i) const {
        if (bytes_[2 * i] != wideMark) return {bytes_[2 * i], bytes_[2 * i + 1]};
        return std::lower_bound(wide_.begin(), wide_.end(), i,
                                [](const auto& w, std::size_t at) { return w.first < at; })
            ->second;
    }

private:
    static constexpr std::int32_t wideMark = 255;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::pair<std::size_t, Genotype>> wide_;  // in place order
};

// Turns the person-major genotypes of `loci` into the locus-major table.
void fillTable(GenotypeTable& table, std::vector<Locus> loci, const PersonMajorGenotypes& byPerson,
               std::size_t personCount) {
    const std::size_t lociCount = loci.size();
    for (std::size_t l = 0; l < lociCount; ++l) {
        LocusGenotypes genotypes = table.addLocus(std::move(loci[l]));
        for (std::size_t p = 0; p < personCount; ++p) {
            const std::int32_t row = table.rowOf(static_cast<std::int32_t>(p));
            if (row >= 0) genotypes.set(static_cast<std::size_t>(row), byPerson[p * lociCount + l]);
        }
    }
}

std::string byteCount(std::int64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

}  // namespace

GenotypeData readPlinkText(const std::string& pedPath, const std::string& mapPath, const MarkerSelection& selection,
                           std::string_view missingCode, const HeldPeople& held) {
    GenotypeData data;
    data.files = pedPath + " and " + mapPath;
    data.genotypeFile = mapPath;
    std::vector<std::size_t> selected;  // .map line index of each selected locus
    std::vector<Locus> loci;
    LineReader map(mapPath);
    for (; map.next(); ++data.markersRead) {
        Locus locus = readMapLine(map);
        data.noteMarker(locus.chromosome,
                        !selection.region || selection.region->contains(locus.chromosome, locus.position));
        if (!selection.includes(locus.chromosome, locus.position, locus.name)) continue;
        selected.push_back(static_cast<std::size_t>(data.markersRead));
        loci.push_back(std::move(locus));
    }
    checkRegionMatched(selection, data);

    const std::size_t expected = 6 + 2 * static_cast<std::size_t>(data.markersRead);
    PersonMajorGenotypes byPerson;
    LineReader ped(pedPath);
    while (ped.next()) {
        const auto& fields = ped.fields();
        if (fields.size() != expected) {
            ped.fail(std::to_string(fields.size()) + " fields; with the " + std::to_string(data.markersRead) +
                     " markers of " + mapPath + " a line has 6 + 2 x " + std::to_string(data.markersRead) + " = " +
                     std::to_string(expected));
        }
        Person person = readPersonFields(ped);
        person.column = static_cast<std::int32_t>(data.people.size());
        data.people.push_back(std::move(person));
        for (std::size_t s = 0; s < selected.size(); ++s) {
            Locus& locus = loci[s];
            const std::int32_t a = alleleNumber(locus, fields[6 + 2 * selected[s]], missingCode);
            const std::int32_t b = alleleNumber(locus, fields[7 + 2 * selected[s]], missingCode);
            byPerson.push_back(a == 0 || b == 0 ? Genotype{} : Genotype{a, b});
        }
    }
    checkUniquePeople(data.people, pedPath);
    checkNoAncestryLoop(data.people, pedPath);
    data.table.holdPeople(data.people, held);
    fillTable(data.table, std::move(loci), byPerson, data.people.size());
    return data;
}

GenotypeData readPlinkBinary(const std::string& prefix, const MarkerSelection& selection, const HeldPeople& held) {
    const std::string bedPath = prefix + ".bed", bimPath = prefix + ".bim", famPath = prefix + ".fam";
    GenotypeData data;
    data.files = bedPath + ", " + bimPath + " and " + famPath;
    data.genotypeFile = bimPath;
    data.people = readPedigreeFile(famPath);
    for (std::size_t p = 0; p < data.people.size(); ++p) data.people[p].column = static_cast<std::int32_t>(p);
    data.table.holdPeople(data.people, held);

    std::vector<std::int64_t> selected;  // .bim line index of each selected locus
    // The numbers of the .bim's allele 1 and allele 2 for each selected locus;
    // 0 for an allele "0".
    std::vector<std::array<std::int32_t, 2>> numbers;
    std::vector<Locus> loci;
    LineReader bim(bimPath);
    for (; bim.next(); ++data.markersRead) {
        Locus locus = readBimLine(bim);
        const std::string_view a1 = bim.fields()[4], a2 = bim.fields()[5];
        if (a1 == a2 && a1 != missingAllele)
            bim.fail("marker " + locus.name + " has " + std::string(a1) + " as both alleles");
        data.noteMarker(locus.chromosome,
                        !selection.region || selection.region->contains(locus.chromosome, locus.position));
        if (!selection.includes(locus.chromosome, locus.position, locus.name)) continue;
        std::array<std::int32_t, 2> number{};
        for (std::size_t i = 0; i < 2; ++i) {
            if (bim.fields()[4 + i] == missingAllele) continue;
            locus.alleles.emplace_back(bim.fields()[4 + i]);
            number[i] = static_cast<std::int32_t>(locus.alleles.size());
        }
        numbers.push_back(number);
        selected.push_back(data.markersRead);
        loci.push_back(std::move(locus));
    }
    checkRegionMatched(selection, data);

    checkReadable(bedPath);
    std::ifstream bed(bedPath, std::ios::binary);
    if (!bed) throw ImportError(bedPath + ": cannot be opened for reading");
    const std::int64_t people = static_cast<std::int64_t>(data.people.size());
    const std::int64_t blockSize = (people + 3) / 4;
    const std::int64_t wanted = 3 + blockSize * data.markersRead;
    bed.seekg(0, std::ios::end);
    const std::int64_t size = bed.tellg();
    char header[3] = {};
    bed.seekg(0);
    bed.read(header, 3);
    if (!bed || header[0] != 0x6c || header[1] != 0x1b) {
        throw ImportError(bedPath + ": does not start with the two bytes of a PLINK .bed file (6c 1b)");
    }
    if (header[2] != 1) {
        throw ImportError(bedPath + ": is not SNP-major (its third byte is " + std::to_string(int{header[2]}) +
                          ", not 1); write it SNP-major first");
    }
    if (size != wanted) {
        throw ImportError(bedPath + ": holds " + byteCount(size) + "; " + std::to_string(people) + " people (" +
                          famPath + ") and " + std::to_string(data.markersRead) + " markers (" + bimPath + ") need " +
                          byteCount(wanted));
    }

    std::string block(static_cast<std::size_t>(blockSize), '\0');
    for (std::size_t s = 0; s < selected.size(); ++s) {
        driver::stopIfInterrupted();
        LocusGenotypes genotypes = data.table.addLocus(std::move(loci[s]));
        const Locus& locus = data.table.loci.back();
        bed.seekg(3 + selected[s] * blockSize);
        bed.read(block.data(), blockSize);
        if (!bed) throw ImportError(bedPath + ": cannot be read at marker " + locus.name);
        // Two bits per person, first person in the lowest bits: 00 two copies
        // of allele 1, 10 one of each, 11 two copies of allele 2, 01 missing.
        const auto [first, second] = numbers[s];
        for (std::int64_t p = 0; p < people; ++p) {
            const std::int32_t row = data.table.rowOf(static_cast<std::int32_t>(p));
            const int code = (static_cast<unsigned char>(block[static_cast<std::size_t>(p / 4)]) >> (2 * (p % 4))) & 3;
            if (code == 1) continue;
            const Genotype genotype = code == 0   ? Genotype{first, first}
                                      : code == 2 ? Genotype{first, second}
                                                  : Genotype{second, second};
            if (genotype.first == 0 || genotype.second == 0) {
                const Person& person = data.people[static_cast<std::size_t>(p)];
                throw ImportError(bedPath + ": marker " + locus.name + ", person " + person.id + " of family " +
                                  person.family + ": the genotype carries an allele that " + locus.origin +
                                  " gives as \"0\" (no allele)");
            }
            if (row >= 0) genotypes.set(static_cast<std::size_t>(row), genotype);
        }
    }
    return data;
}

}  // namespace triotdt::import
