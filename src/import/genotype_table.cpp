#include "import/genotype_table.h"

#include <cassert>
#include <cstring>

namespace triotdt::import {
namespace {

// Loci are added to a block of this size until it is full (a block holds at
// least one locus): large enough that blocks are few, small enough that the
// last one wastes little.
constexpr std::size_t blockBytes = std::size_t{1} << 22;

}  // namespace

void LocusGenotypes::set(std::size_t row, Genotype genotype) {
    if (wide_) {
        const std::uint16_t alleles[2] = {genotype.first, genotype.second};
        std::memcpy(bytes_ + 4 * row, alleles, sizeof alleles);
        return;
    }
    assert(genotype.first <= 255 && genotype.second <= 255);
    bytes_[2 * row] = static_cast<std::uint8_t>(genotype.first);
    bytes_[2 * row + 1] = static_cast<std::uint8_t>(genotype.second);
}

void GenotypeTable::holdEveryone(std::size_t count) { holdPeople(std::vector<bool>(count, true)); }

void GenotypeTable::holdPeople(const std::vector<bool>& held) {
    assert(loci.empty());
    rowOf_.assign(held.size(), -1);
    rowCount_ = 0;
    for (std::size_t p = 0; p < held.size(); ++p) {
        if (held[p]) rowOf_[p] = static_cast<std::int32_t>(rowCount_++);
    }
}

void GenotypeTable::holdPeopleOf(const GenotypeTable& other) {
    assert(loci.empty());
    rowOf_ = other.rowOf_;
    rowCount_ = other.rowCount_;
}

Genotype GenotypeTable::at(std::size_t locus, std::int32_t person) const {
    const std::int32_t row = rowOf_[static_cast<std::size_t>(person)];
    if (row < 0) return {};
    const Place& place = places_[locus];
    const std::uint8_t* bytes = blocks_[place.block]->data() + place.offset;
    if (!place.wide) return {bytes[2 * row], bytes[2 * row + 1]};
    std::uint16_t alleles[2];
    std::memcpy(alleles, bytes + 4 * static_cast<std::size_t>(row), sizeof alleles);
    return {alleles[0], alleles[1]};
}

void GenotypeTable::setMissing(std::size_t locus, std::int32_t person) {
    const std::int32_t row = rowOf_[static_cast<std::size_t>(person)];
    assert(row >= 0);
    const Place& place = places_[locus];
    const std::size_t bytes = place.wide ? 4 : 2;
    std::memset(blocks_[place.block]->data() + place.offset + bytes * static_cast<std::size_t>(row), 0, bytes);
}

std::uint8_t* GenotypeTable::reserveRow(bool wide) {
    const std::size_t size = rowBytes(wide);
    if (blocks_.empty() || blocks_.back().use_count() != 1 ||
        blocks_.back()->capacity() - blocks_.back()->size() < size) {
        blocks_.push_back(std::make_shared<std::vector<std::uint8_t>>());
        blocks_.back()->reserve(std::max(blockBytes, size));
    }
    // Within the capacity: the rows already written stay where they are.
    std::vector<std::uint8_t>& block = *blocks_.back();
    places_.push_back({blocks_.size() - 1, block.size(), wide});
    block.resize(block.size() + size);  // zero: missing
    return block.data() + places_.back().offset;
}

LocusGenotypes GenotypeTable::addLocus(Locus locus) {
    const bool wide = locus.alleles.size() > 255;
    loci.push_back(std::move(locus));
    return {reserveRow(wide), wide};
}

void GenotypeTable::addLocusOf(const GenotypeTable& other, std::size_t l, Locus locus) {
    assert(rowCount_ == other.rowCount_);
    const Place& from = other.places_[l];
    const std::shared_ptr<std::vector<std::uint8_t>>& block = other.blocks_[from.block];
    if (blocks_.empty() || blocks_.back() != block) blocks_.push_back(block);
    loci.push_back(std::move(locus));
    places_.push_back({blocks_.size() - 1, from.offset, from.wide});
}

}  // namespace triotdt::import
