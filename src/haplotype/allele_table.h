#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

namespace triotdt::haplotype {

// The allele numbers of one person of every family, in one byte each when
// every locus has at most 255 alleles and in two bytes otherwise: a thousand
// trios of 600,000 markers take about 3.6 GB instead of four times as much.
//
// A value the width cannot hold (negative, or above 255 or 65,535) is stored
// as the largest value of the width; the exact value of the first
// `unfitKept` of them is kept for the messages about them. Such values are
// never valid alleles, so any one of them makes the input unusable; the
// messages describe at most the first 20 problems, and those cannot lie
// beyond the first 40 unfit values of one person's table.
class AlleleTable {
public:
    static constexpr std::int32_t maxAlleles = 65535;
    static constexpr std::size_t unfitKept = 64;

    AlleleTable() = default;
    // `largestAllele` is the largest allele count of any locus (at most maxAlleles).
    explicit AlleleTable(std::int32_t largestAllele) : wide_(largestAllele > 255) {}
    // The values given, as wide as the largest of them needs (tests).
    AlleleTable(std::initializer_list<std::int32_t> values);

    int bytesPerAllele() const { return wide_ ? 2 : 1; }
    std::size_t size() const { return wide_ ? two_.size() : one_.size(); }
    bool empty() const { return size() == 0; }

    std::int32_t operator[](std::size_t i) const { return wide_ ? two_[i] : one_[i]; }
    // The value as the input gave it, also where the width cannot hold it.
    std::int32_t asRead(std::size_t i) const;

    void reserve(std::size_t count);
    void push_back(std::int32_t value);
    void append(std::span<const std::int32_t> values);

    // All values as read (tests, comparisons).
    std::vector<std::int32_t> values() const;
    friend bool operator==(const AlleleTable& a, const AlleleTable& b) { return a.values() == b.values(); }

private:
    std::int32_t largest() const { return wide_ ? 65535 : 255; }

    bool wide_ = false;
    std::vector<std::uint8_t> one_;
    std::vector<std::uint16_t> two_;
    std::vector<std::pair<std::size_t, std::int32_t>> unfit_;  // place, value; in place order
};

}  // namespace triotdt::haplotype
