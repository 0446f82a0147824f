#include "haplotype/haplotype_code.h"

#include <limits>

namespace triotdt::haplotype {

std::int64_t countHaplotypes(std::span<const std::int32_t> alleleCount) {
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max();
    std::int64_t product = 1;
    for (const std::int32_t count : alleleCount) {
        if (count <= 0) return 0;
        if (product > limit / count) return limit;
        product *= count;
    }
    return product;
}

std::int32_t encodeHaplotype(const Window& window, std::span<const std::int32_t> alleles) {
    const std::size_t n = static_cast<std::size_t>(window.size);
    std::int32_t sum = alleles[n - 1] - 1;
    std::int32_t multiplier = 1;
    for (std::size_t k = n - 1; k-- > 0;) {
        multiplier *= window.alleleCount[k + 1];
        sum += (alleles[k] - 1) * multiplier;
    }
    return sum + 1;
}

void decodeHaplotype(const Window& window, std::int32_t code, std::span<std::int32_t> alleles) {
    const std::size_t n = static_cast<std::size_t>(window.size);
    std::int32_t rest = code - 1;
    if (n == 1) {
        alleles[0] = rest + 1;
        return;
    }
    std::int32_t divisor = window.codeCount() / window.alleleCount[0];
    for (std::size_t k = 0; k < n; ++k) {
        alleles[k] = rest / divisor + 1;
        rest -= (alleles[k] - 1) * divisor;
        if (k + 1 < n) divisor /= window.alleleCount[k + 1];
    }
}

}  // namespace triotdt::haplotype
