#include "exchange/draw_batches.h"

#include <algorithm>

#include "exchange/exchange_bits.h"

namespace triotdt::exchange {

DrawKernel bestDrawKernel() {
    static const DrawKernel best = drawKernels.best();
    return best;
}

DrawBatches::DrawBatches(const GeneratorState& generator, DrawKernel kernel) : kernel_(kernel) {
    std::uint32_t s1 = static_cast<std::uint32_t>(generator.lcgState1);
    std::uint32_t s2 = static_cast<std::uint32_t>(generator.lcgState2);
    std::uint32_t s3 = static_cast<std::uint32_t>(generator.lcgState3);
    // Chain j holds the states of draw j of the next batch.
    for (std::size_t j = 0; j < batch; ++j) {
        s1 = lcgStep(lcg1, s1);
        s2 = lcgStep(lcg2, s2);
        s3 = lcgStep(lcg3, s3);
        chains_.state1[j] = s1;
        chains_.state2[j] = s2;
        chains_.state3[j] = s3;
    }
    std::copy(generator.shuffleTable.begin(), generator.shuffleTable.end(), chains_.table);
}

void DrawBatches::draw(std::span<std::uint64_t> bits, std::size_t count) {
    std::fill(bits.begin(), bits.begin() + static_cast<std::ptrdiff_t>(ExchangeBits::wordsFor(count)), 0);
    for (std::size_t i = 0; i < count;) {
        if (used_ == batch) {
            exchanged_ = kernel_(chains_);
            used_ = 0;
        }
        // As many bits of the batch as fit in the word and are wanted.
        const std::size_t bit = i % ExchangeBits::familiesPerWord;
        const std::size_t take = std::min({batch - used_, ExchangeBits::familiesPerWord - bit, count - i});
        const std::uint64_t taken = (std::uint64_t{exchanged_} >> used_) & ((std::uint64_t{1} << take) - 1);
        bits[i / ExchangeBits::familiesPerWord] |= taken << bit;
        used_ += take;
        i += take;
    }
}

}  // namespace triotdt::exchange
