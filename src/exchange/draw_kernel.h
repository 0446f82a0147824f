#pragma once

// What the draw kernels see: plain arrays only, so that the kernels,
// compiled for wider vector units in their own files, instantiate no inline
// code that the rest of the program could end up sharing.

#include <cstddef>
#include <cstdint>

namespace triotdt::exchange {

// The stream 32 draws ahead: chain j of each generator holds its state at
// draw j of the next batch; `table` is the shuffle table.
struct alignas(64) DrawChains {
    static constexpr std::size_t batch = 32;

    double state1[batch];
    double state2[batch];
    double state3[batch];
    double table[97];
};

// Draws the batch: returns its exchange bits (bit j set when draw j is 0.5 or
// less), refills the table as the draws do, and steps every chain 32 draws on.
using DrawKernel = std::uint32_t (*)(DrawChains& chains);

// The variants of the kernel (dispatch/kernel_dispatch.h).
std::uint32_t drawKernelBaseline(DrawChains& chains);
std::uint32_t drawKernelAvx2(DrawChains& chains);
std::uint32_t drawKernelAvx512(DrawChains& chains);

}  // namespace triotdt::exchange
