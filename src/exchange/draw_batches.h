#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "dispatch/kernel_dispatch.h"
#include "exchange/draw_kernel.h"
#include "exchange/generator.h"

namespace triotdt::exchange {

inline constexpr dispatch::KernelVariants<DrawKernel> drawKernels{
    {drawKernelBaseline, drawKernelAvx2, drawKernelAvx512}};

// The widest variant this processor runs; all give the same bits.
DrawKernel bestDrawKernel();

// The exchange bits of the stream (a family is exchanged where its draw is
// 0.5 or less), worked out a batch of 32 draws at a time: the same bits as
// one draw at a time.
//
// Drawing one value at a time waits on the multiplications of three
// generators each draw. Here 32 chains per generator step 32 draws at once,
// x → (A·x + C) mod m with A = a^32 and C = c·(a^31 + … + 1), all mod m, in
// doubles that hold every product exactly (below 2^41), so the compiler can
// keep them in vector registers; only the shuffle table, whose slots depend
// on each other, is then visited draw by draw.
class DrawBatches {
public:
    static constexpr std::size_t batch = DrawChains::batch;

    // From a generator whose states are non-negative (every generator the
    // stream position gives).
    explicit DrawBatches(const GeneratorState& generator, DrawKernel kernel = bestDrawKernel());

    // Sets bit i of `bits` (i < count) when the i-th next value of the stream
    // is 0.5 or less, clears it otherwise; the bits of the last word beyond
    // `count` are cleared.
    void draw(std::span<std::uint64_t> bits, std::size_t count);

private:
    DrawKernel kernel_;
    DrawChains chains_;
    std::uint32_t exchanged_ = 0;  // of the batch drawn, bit j for draw j
    std::size_t used_ = batch;     // bits of that batch handed out
};

}  // namespace triotdt::exchange
