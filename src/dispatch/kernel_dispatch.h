#pragma once

// The hot kernels are built once per vector unit (triotdt_add_kernel in
// kernel_variants.cmake: NAMEBaseline, NAMEAvx2, NAMEAvx512), never with
// -march=native, and the program runs the widest variant this processor
// supports. Every variant of a kernel gives the same bits, so the choice
// changes the speed only.

#include <array>
#include <cstddef>
#include <vector>

namespace triotdt::dispatch {

enum class VectorUnit : std::size_t { baseline, avx2, avx512 };
inline constexpr std::size_t vectorUnitCount = 3;

// Whether this processor runs code built for `unit`; asked of the processor
// once.
bool runs(VectorUnit unit);

const char* nameOf(VectorUnit unit);

template <typename Kernel>
struct NamedKernel {
    const char* name;
    Kernel kernel;
};

// The variants of one kernel, in VectorUnit order.
template <typename Kernel>
struct KernelVariants {
    std::array<Kernel, vectorUnitCount> byUnit;

    // Every variant this processor runs, the plainest first.
    std::vector<NamedKernel<Kernel>> runnable() const {
        std::vector<NamedKernel<Kernel>> kernels;
        for (std::size_t u = 0; u < vectorUnitCount; ++u) {
            const auto unit = static_cast<VectorUnit>(u);
            if (runs(unit)) kernels.push_back({nameOf(unit), byUnit[u]});
        }
        return kernels;
    }

    // The widest of them.
    Kernel best() const { return runnable().back().kernel; }
};

}  // namespace triotdt::dispatch
