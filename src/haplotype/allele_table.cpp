#include "haplotype/allele_table.h"

#include <algorithm>

namespace triotdt::haplotype {

AlleleTable::AlleleTable(std::initializer_list<std::int32_t> values)
    : wide_(values.size() > 0 && std::max(values) > 255) {
    append(std::span(values.begin(), values.size()));
}

std::int32_t AlleleTable::asRead(std::size_t i) const {
    const std::int32_t stored = (*this)[i];
    if (stored != largest()) return stored;
    const auto found = std::lower_bound(unfit_.begin(), unfit_.end(), i,
                                        [](const auto& entry, std::size_t place) { return entry.first < place; });
    return found != unfit_.end() && found->first == i ? found->second : stored;
}

void AlleleTable::reserve(std::size_t count) {
    if (wide_) {
        two_.reserve(count);
    } else {
        one_.reserve(count);
    }
}

void AlleleTable::push_back(std::int32_t value) {
    if (value < 0 || value > largest()) {
        if (unfit_.size() < unfitKept) unfit_.emplace_back(size(), value);
        value = largest();
    }
    if (wide_) {
        two_.push_back(static_cast<std::uint16_t>(value));
    } else {
        one_.push_back(static_cast<std::uint8_t>(value));
    }
}

void AlleleTable::append(std::span<const std::int32_t> values) {
    const std::int32_t top = largest();
    const bool fit = std::all_of(values.begin(), values.end(), [top](std::int32_t v) { return v >= 0 && v <= top; });
    if (!fit) {
        for (const std::int32_t value : values) push_back(value);
        return;
    }
    if (wide_) {
        two_.insert(two_.end(), values.begin(), values.end());
    } else {
        one_.insert(one_.end(), values.begin(), values.end());
    }
}

std::vector<std::int32_t> AlleleTable::values() const {
    std::vector<std::int32_t> all(size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = asRead(i);
    return all;
}

}  // namespace triotdt::haplotype
